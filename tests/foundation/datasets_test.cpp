// The data-set check against a local download site: what a first and a second
// start fetch and store, and how a misbehaving site or a malformed
// versions.json leaves the data sets and versions on disk alone.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <gsl/util>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/datasets.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "support/dataset_builder.hpp"
#include "support/http_server.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Fault = test::HttpServer::Fault;

const std::string kAirportsXml = "<airports><airport icao=\"ZZZA\"/></airports>";
const std::string kAigXml = "<regcodes/>";
const std::string kDbaseXml = "<dbase><aircraft reg=\"ZZ-ABC\"/></dbase>";

class DataSetCheck : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program / "input");
        fs::create_directories(dir / "settings");
        m_savedSettingsPath = g_parametersXmlPath;
        g_parametersXmlPath = (dir / "settings" / "parameters.xml").string();
        m_savedLimits = g_downloadLimits;
        // libcurl judges the speed over the last seconds, so a stall after a
        // few bytes shows only against a limit well above them.
        g_downloadLimits = {1000ms, 64 * 1024, 1s};
        for (StringParameter* p : {&AIRPORTS_VERSION, &AIG_VERSION, &DBASE_VERSION}) p->value.set("");
        m_cwd = std::make_unique<test::ScopedCwd>(program);
        server = std::make_unique<test::HttpServer>(site);
        m_env = std::make_unique<test::ScopedEnv>(kDownloadUrlVariable, server->url());
        test::publishDataSet(site, "airports.enc", kAirportsXml);
        test::publishDataSet(site, "AIG-regcodes.enc", kAigXml);
        test::publishDataSet(site, "dbase.enc", kDbaseXml);
        test::publishVersions(site, {1, 0, 0}, {2, 3, 4}, {3, 0, 1});
    }

    void TearDown() override {
        m_env.reset();
        server.reset();
        m_cwd.reset();
        g_downloadLimits = m_savedLimits;
        g_parametersXmlPath = m_savedSettingsPath;
        for (StringParameter* p : {&AIRPORTS_VERSION, &AIG_VERSION, &DBASE_VERSION}) p->value.set("");
    }

    // The value parameters.xml holds for a key ("-" when it has none).
    std::string savedVersion(const std::string& key) const {
        pugi::xml_document doc;
        if (!doc.load_file(g_parametersXmlPath.c_str())) return "-";
        const auto node = doc.document_element().find_child_by_attribute("parameter", "name", key.c_str());
        return node ? node.attribute("value").value() : "-";
    }

    std::size_t dataSetRequests() const {
        const auto all = server->requests();
        return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [](const std::string& path) {
            return path.size() > 4 && path.compare(path.size() - 4, 4, ".enc") == 0;
        }));
    }

    std::size_t logCount(const std::string& text) const {
        const auto lines = log.lines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), text));
    }

    // The plain text a local data set decrypts to.
    std::string plainOf(const fs::path& enc) const {
        const DecryptedDataSet plain(enc, dir / "check.xml");
        return plain.ok() ? test::readFile(plain.path()) : "<not a data set>";
    }

    std::vector<std::string> inputFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(program / "input")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Puts an older dbase.enc (stored as 1.0.0) on disk.
    std::string installOldDbase() {
        test::packDataSet("<dbase old=\"1\"/>", program / g_dbaseEnc);
        gf_setStringParameter(DBASE_VERSION, "1.0.0");
        return test::readFile(program / g_dbaseEnc);
    }

    std::string dataSetUrl(const std::string& file) const { return server->url() + "11/" + file; }

    test::TempDir dir;
    test::ScopedLog log;
    fs::path program = dir / "program";
    fs::path site = dir / "site";
    std::unique_ptr<test::HttpServer> server;

private:
    std::string m_savedSettingsPath;
    DownloadLimits m_savedLimits;
    std::unique_ptr<test::ScopedCwd> m_cwd;
    std::unique_ptr<test::ScopedEnv> m_env;
};

// The site's server runs on a thread of its own: these also run under the
// ThreadSanitizer build.
class DataSetCheckThreaded : public DataSetCheck {};

TEST_F(DataSetCheckThreaded, FirstStartDownloadsAllThreeAndStoresTheirVersions) {
    gf_checkDataVersions();

    EXPECT_EQ(logCount("airports updated to 1.0.0"), 1u);
    EXPECT_EQ(logCount("aig updated to 2.3.4"), 1u);
    EXPECT_EQ(logCount("dbase updated to 3.0.1"), 1u);
    EXPECT_EQ(savedVersion("AIRPORTS_VERSION"), "1.0.0");
    EXPECT_EQ(savedVersion("AIG_VERSION"), "2.3.4");
    EXPECT_EQ(savedVersion("DBASE_VERSION"), "3.0.1");
    EXPECT_EQ(plainOf(program / g_airportsEnc), kAirportsXml);
    EXPECT_EQ(plainOf(program / g_aigRegcodesEnc), kAigXml);
    EXPECT_EQ(plainOf(program / g_dbaseEnc), kDbaseXml);
    EXPECT_TRUE(log.contains("Downloaded '" + dataSetUrl("dbase.enc") + "' to '"));
    // Nothing but the data sets stays behind: no temporary files, no versions.json.
    EXPECT_EQ(inputFiles(), (std::vector<std::string>{"AIG-regcodes.enc", "airports.enc", "dbase.enc"}));
    EXPECT_FALSE(fs::exists(program / "versions.json"));
    EXPECT_EQ(server->requests(), (std::vector<std::string>{"/versions.json", "/11/airports.enc",
                                                             "/11/AIG-regcodes.enc", "/11/dbase.enc"}));
}

TEST_F(DataSetCheckThreaded, SecondStartFindsEverythingUpToDate) {
    gf_checkDataVersions();
    const std::size_t fetched = dataSetRequests();
    gf_checkDataVersions();

    EXPECT_EQ(fetched, 3u);
    EXPECT_EQ(dataSetRequests(), 3u);
    for (const char* key : {"airports", "aig", "dbase"}) EXPECT_EQ(logCount(std::string(key) + " version up-to-date"), 1u);
    EXPECT_EQ(savedVersion("DBASE_VERSION"), "3.0.1");
}

TEST_F(DataSetCheckThreaded, AVersionFileThatCannotBeRemovedIsAWarningAndTheCheckGoesOn) {
    // As std::filesystem::remove fails on a file another program holds open.
    gf_setVersionsFileRemover([](const fs::path& path) {
        throw fs::filesystem_error("cannot remove", path, std::make_error_code(std::errc::device_or_resource_busy));
    });
    const auto restore = gsl::finally([] { gf_setVersionsFileRemover({}); });
    ASSERT_NO_THROW(gf_checkDataVersions());
    EXPECT_TRUE(log.contains("===> versions.json could not be removed: "));
    EXPECT_EQ(savedVersion("AIRPORTS_VERSION"), "1.0.0");
    EXPECT_EQ(savedVersion("DBASE_VERSION"), "3.0.1");
    EXPECT_EQ(dataSetRequests(), 3u);

    // The next check replaces the file that stayed behind.
    gf_setVersionsFileRemover({});
    test::publishVersions(site, {1, 0, 0}, {2, 3, 4}, {3, 0, 2});
    gf_checkDataVersions();
    EXPECT_EQ(savedVersion("DBASE_VERSION"), "3.0.2");
    EXPECT_FALSE(fs::exists(program / "versions.json"));
}

TEST_F(DataSetCheck, DownloadsWhenPublishedIsNewerOrTheFileIsMissing) {
    struct Case {
        const char* stored;
        VersionData published;
        bool filePresent;
        bool downloads;
    };
    const Case cases[] = {
        {"", {1, 0, 0}, false, true},
        {"", {0, 0, 0}, false, true},
        {"2.3.4", {2, 3, 4}, true, false},
        {"2.3.4", {2, 3, 4}, false, true},
        {"2.3.4", {2, 3, 3}, true, false},  // no downgrade
        {"2.3.4", {1, 9, 9}, true, false},
        {"2.3.4", {2, 4, 0}, true, true},
        {"2.3.4", {2, 3, 10}, true, true},   // numbers, not texts, are compared
        {"2.3.4", {10, 0, 0}, true, true},
        {"not a version", {0, 0, 1}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stored) + " -> " + gf_versionToString(c.published));
        gf_setStringParameter(DBASE_VERSION, c.stored);
        std::error_code ec;
        fs::remove(program / g_dbaseEnc, ec);
        if (c.filePresent) test::packDataSet("<dbase local=\"1\"/>", program / g_dbaseEnc);
        test::publishVersions(site, {1, 0, 0}, {2, 3, 4}, c.published);
        const std::size_t before = server->requestCount("/11/dbase.enc");

        gf_checkDataVersions();

        const bool downloaded = server->requestCount("/11/dbase.enc") > before;
        EXPECT_EQ(downloaded, c.downloads);
        const std::string expected = c.downloads ? gf_versionToString(c.published) : c.stored;
        EXPECT_EQ(DBASE_VERSION.value.get(), expected);
        EXPECT_EQ(savedVersion("DBASE_VERSION"), expected);
        EXPECT_EQ(plainOf(program / g_dbaseEnc), c.downloads ? kDbaseXml : "<dbase local=\"1\"/>");
    }
}

TEST_F(DataSetCheckThreaded, FailedDataSetDownloadKeepsTheOldFileAndVersion) {
    struct Case {
        const char* name;
        Fault fault;
        std::string body;  // replaces the published file when set
        bool removeFromSite;
    };
    const Case cases[] = {
        {"404", Fault::None, "", true},
        {"500", Fault::ServerError, "", false},
        {"302", Fault::Redirect, "", false},
        {"stalled before the answer", Fault::Stall, "", false},
        {"stalled in the body", Fault::StallBody, "", false},
        {"body cut short", Fault::CutBody, "", false},
        {"error page with status 200", Fault::None, "<html><body>Maintenance</body></html>", false},
        {"data set cut at a chunk boundary", Fault::None, "cut", false},
    };
    const fs::path published = site / "11" / "dbase.enc";
    const std::string good = test::readFile(published);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string old = installOldDbase();
        const std::string failed = "===> Downloading '" + dataSetUrl("dbase.enc") + "' failed !";
        const std::size_t failures = logCount(failed);
        server->clearFaults();
        server->setFault("/11/dbase.enc", c.fault);
        std::error_code ec;
        if (c.removeFromSite) fs::remove(published, ec);
        if (c.body == "cut") {
            test::writeFile(published, good.substr(0, kDataSetHeaderBytes));
        } else if (!c.body.empty()) {
            test::writeFile(published, c.body);
        }

        gf_checkDataVersions();

        EXPECT_EQ(test::readFile(program / g_dbaseEnc), old);
        EXPECT_EQ(DBASE_VERSION.value.get(), "1.0.0");
        EXPECT_EQ(savedVersion("DBASE_VERSION"), "1.0.0");
        EXPECT_EQ(logCount(failed), failures + 1);
        EXPECT_EQ(inputFiles(), (std::vector<std::string>{"AIG-regcodes.enc", "airports.enc", "dbase.enc"}));
        // The other data sets are not held up by the one that failed.
        EXPECT_EQ(savedVersion("AIG_VERSION"), "2.3.4");
        test::writeFile(published, good);
    }
}

TEST_F(DataSetCheck, UnreachableVersionFileEndsTheCheck) {
    struct Case {
        const char* name;
        Fault fault;
        bool removeFromSite;
    };
    const Case cases[] = {
        {"404", Fault::None, true},
        {"500", Fault::ServerError, false},
        {"302", Fault::Redirect, false},
        {"stalled", Fault::Stall, false},
        {"cut", Fault::CutBody, false},
    };
    const std::string versions = test::readFile(site / "versions.json");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server->setFault("/versions.json", c.fault);
        std::error_code ec;
        if (c.removeFromSite) fs::remove(site / "versions.json", ec);
        const std::size_t warnings = logCount("===> Downloading version info from my web site failed!");

        gf_checkDataVersions();

        EXPECT_EQ(logCount("===> Downloading version info from my web site failed!"), warnings + 1);
        EXPECT_EQ(dataSetRequests(), 0u);
        EXPECT_FALSE(fs::exists(program / "versions.json"));
        EXPECT_TRUE(inputFiles().empty());
        EXPECT_EQ(DBASE_VERSION.value.get(), "");
        test::writeFile(site / "versions.json", versions);
    }
}

TEST_F(DataSetCheck, NoServerAtTheAddressIsAWarning) {
    const std::string url = server->url();
    server.reset();  // nothing listens on its port any more
    test::ScopedEnv env(kDownloadUrlVariable, url);
    gf_checkDataVersions();
    EXPECT_EQ(logCount("===> Downloading version info from my web site failed!"), 1u);
    EXPECT_TRUE(inputFiles().empty());
}

struct MalformedCase {
    const char* name;
    std::string json;
    std::vector<std::string> warnings;
    std::vector<std::string> updated;  // keys still downloaded
};

TEST_F(DataSetCheck, MalformedVersionFileWarnsPerDataSetAndGoesOn) {
    const std::string aig = R"("aig": {"major": 2, "minor": 3, "patch": 4})";
    const std::string dbase = R"("dbase": {"major": 3, "minor": 0, "patch": 1})";
    const auto withAirports = [&](const std::string& member) {
        return "{\"airports\": " + member + ", " + aig + ", " + dbase + "}";
    };
    const std::vector<std::string> notFound = {"===> airports version not found", "===> aig version not found",
                                               "===> dbase version not found"};
    const MalformedCase cases[] = {
        {"array", "[1, 2, 3]", notFound, {}},
        {"object of the wrong shape", R"({"versions": {"airports": 1}})", notFound, {}},
        {"not JSON", "airports=1.0.0", notFound, {}},
        {"HTML page", "<html><body>Welcome</body></html>", notFound, {}},
        {"empty", "", notFound, {}},
        {"aig missing",
         "{\"airports\": {\"major\": 1, \"minor\": 0, \"patch\": 0}, " + dbase + "}",
         {"===> aig version not found"},
         {"airports", "dbase"}},
        {"floats",
         withAirports(R"({"major": 1.5, "minor": 0, "patch": 0})"),
         {"===> airports version invalid: 'major' is not a version number: 1.5"},
         {"aig", "dbase"}},
        {"whole float",
         withAirports(R"({"major": 1, "minor": 2.0, "patch": 0})"),
         {"===> airports version invalid: 'minor' is not a version number: 2.0"},
         {"aig", "dbase"}},
        {"strings",
         withAirports(R"({"major": "1", "minor": "0", "patch": "0"})"),
         {"===> airports version invalid: 'major' is not a version number: \"1\""},
         {"aig", "dbase"}},
        {"missing patch",
         withAirports(R"({"major": 1, "minor": 0})"),
         {"===> airports version invalid: 'patch' is missing"},
         {"aig", "dbase"}},
        {"above 32 bits",
         withAirports(R"({"major": 4294967297, "minor": 0, "patch": 0})"),
         {"===> airports version invalid: 'major' is not a version number: 4294967297"},
         {"aig", "dbase"}},
        {"above int32",
         withAirports(R"({"major": 1, "minor": 0, "patch": 2147483648})"),
         {"===> airports version invalid: 'patch' is not a version number: 2147483648"},
         {"aig", "dbase"}},
        {"negative",
         withAirports(R"({"major": -1, "minor": 0, "patch": 0})"),
         {"===> airports version invalid: 'major' is not a version number: -1"},
         {"aig", "dbase"}},
        {"member not an object",
         withAirports("\"1.0.0\""),
         {"===> airports version invalid: it is not an object"},
         {"aig", "dbase"}},
        {"null member", withAirports("null"), {"===> airports version invalid: it is not an object"}, {"aig", "dbase"}},
        // Written out whole, a value nested this deeply would take the stack with it.
        {"deeply nested",
         withAirports("{\"major\": " + std::string(30000, '[') + std::string(30000, ']') + "}"),
         {"===> airports version invalid: 'major' is not a version number: array nested too deeply"},
         {"aig", "dbase"}},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (StringParameter* p : {&AIRPORTS_VERSION, &AIG_VERSION, &DBASE_VERSION}) p->value.set("");
        for (const auto& entry : fs::directory_iterator(program / "input")) fs::remove(entry.path());
        test::writeFile(site / "versions.json", c.json);
        const std::size_t before = dataSetRequests();

        ASSERT_NO_THROW(gf_checkDataVersions());

        for (const std::string& warning : c.warnings) EXPECT_GE(logCount(warning), 1u) << warning;
        EXPECT_EQ(dataSetRequests() - before, c.updated.size());
        EXPECT_EQ(AIRPORTS_VERSION.value.get().empty(),
                  std::find(c.updated.begin(), c.updated.end(), "airports") == c.updated.end());
        EXPECT_EQ(AIG_VERSION.value.get().empty(),
                  std::find(c.updated.begin(), c.updated.end(), "aig") == c.updated.end());
    }
    // A file that is not JSON stays to show what the site sent; a read one goes.
    EXPECT_FALSE(fs::exists(program / "versions.json"));
    test::writeFile(site / "versions.json", "<html/>");
    gf_checkDataVersions();
    EXPECT_EQ(test::readFile(program / "versions.json"), "<html/>");
    EXPECT_TRUE(log.contains("===> versions.json is not valid JSON: "));
}

TEST_F(DataSetCheck, OversizedVersionFileIsRefused) {
    test::writeFile(site / "versions.json", "{\"pad\": \"" + std::string(70000, 'x') + "\"}");
    gf_checkDataVersions();
    EXPECT_EQ(logCount("===> versions.json is larger than 65536 bytes"), 1u);
    EXPECT_EQ(logCount("===> dbase version not found"), 1u);
    EXPECT_EQ(dataSetRequests(), 0u);
}

TEST_F(DataSetCheck, DownloadAddressComesFromTheEnvironment) {
    EXPECT_EQ(gf_downloadSiteUrl(), server->url());
    EXPECT_EQ(gf_downloadBaseUrl(), server->url() + "P3D/");
    {
        test::ScopedEnv noSlash(kDownloadUrlVariable, std::string("http://127.0.0.1:8/data"));
        EXPECT_EQ(gf_downloadSiteUrl(), "http://127.0.0.1:8/data/");
    }
    for (const std::optional<std::string>& unset : {std::optional<std::string>(), std::optional<std::string>("")}) {
        test::ScopedEnv none(kDownloadUrlVariable, unset);
        const std::string url = gf_downloadSiteUrl();
        EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
        EXPECT_EQ(url.back(), '/');
    }
}

TEST_F(DataSetCheck, DownloadToFileRefusesWhatItCannotWrite) {
    EXPECT_FALSE(gf_downloadToFile(nullptr, server->url() + "versions.json", "versions.json", false));
    const fs::path nowhere = program / "no-such-folder" / "versions.json";
    const CurlHandle handle(curl_easy_init());
    EXPECT_FALSE(gf_downloadToFile(handle.get(), server->url() + "versions.json", nowhere, false));
    EXPECT_TRUE(log.contains("Could not open output file: " + nowhere.string()));
    EXPECT_TRUE(server->requests().empty()) << "nothing is fetched without a place to put it";

    // A text download through the same handle works afterwards.
    ASSERT_TRUE(gf_downloadToFile(handle.get(), server->url() + "versions.json", "copy.json", false));
    EXPECT_EQ(test::readFile(program / "copy.json"), test::readFile(site / "versions.json"));
}

}  // namespace
}  // namespace skh
