#include "aircraft/livery_cache.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "aircraft/liveries.hpp"
#include "aircraft/livery_data.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "livery_fixture.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

class LiveryCache : public test::LiveryTest {
protected:
    void writeCache(const std::string& body) {
        test::writeFile(g_liveriesScannedXml,
                        R"(<?xml version="1.0"?><meta><info name="author" value="x"/>)"
                        R"(<info name="date" value="d"/><info name="version" value="9.9.9"/></meta>)" +
                            body);
    }
    static std::string readError() { return userError(lf_readLiveriesScanned); }
};

TEST_F(LiveryCache, WrittenLayoutReadsBackSorted) {
    g_liveries = {{"KLM", "B738", "Boeing KLM", "PH-BXA", 3, false}, {"UPS", "B744", "Boeing UPS", "", 1, true}};
    lf_writeLiveriesScanned();
    const std::string text = test::readFile(g_liveriesScannedXml);
    EXPECT_NE(text.find("<meta>"), std::string::npos);
    EXPECT_NE(text.find(R"(<liv airl="KLM" type="B738" title="Boeing KLM" atcid="PH-BXA" />)"), std::string::npos);
    EXPECT_NE(text.find(R"(<liv airl="UPS" type="B744" cargo="true" title="Boeing UPS" />)"), std::string::npos);
    EXPECT_TRUE(logHas("2 liveries in " + g_liveriesScannedXml.string()));

    writeCache(R"(<liveries><liv airl="ZZZ" type="C172" title="b" cargo="yes"/><!-- note -->
<other/><liv airl="AAA" type="B738" title="a" cargo="1" atcid="X"/><liv airl="AAA" type="A320" title="c" cargo="no"/>
</liveries>)");
    EXPECT_EQ(readError(), "");
    ASSERT_EQ(g_liveries.size(), 3u);
    EXPECT_EQ(g_liveries[0].type, "A320");
    EXPECT_FALSE(g_liveries[0].cargo);
    EXPECT_EQ(g_liveries[1].atcid, "X");
    EXPECT_TRUE(g_liveries[1].cargo);
    EXPECT_TRUE(g_liveries[2].cargo);
    EXPECT_EQ(g_liveries[2].folderNo, 0);
    EXPECT_TRUE(logHas("3 liveries read from " + g_liveriesScannedXml.string()));
}

// Each damaged cache gives its own error, never an empty index taken as good.
TEST_F(LiveryCache, DamagedFilesGiveTheirErrors) {
    const std::string path = g_liveriesScannedXml.string();
    EXPECT_EQ(readError(), "51: File " + path + " not found");
    writeCache(R"(<liveries><liv airl="A" type="B" title="C"/>)");  // cut off
    EXPECT_EQ(readError(), "51: File " + path + " not found");
    test::writeFile(g_liveriesScannedXml, std::string("\x00\xff\xfe<<", 5));
    EXPECT_EQ(readError(), "51: File " + path + " not found");
    writeCache("<livery/>");
    EXPECT_EQ(readError(), "52: " + path + " does not contain a <liveries> section");
    writeCache("<liveries><!-- none --><lv/></liveries>");
    EXPECT_EQ(readError(), "533: " + path + " does not contain liveries");
    for (const char* missing : {"airl", "type", "title"}) {
        std::string liv = R"(<liv airl="A" type="B" title="C"/>)";
        const std::string attr = std::string(missing) + "=\"";
        liv.erase(liv.find(attr), attr.size() + 2);
        writeCache("<liveries>" + liv + "</liveries>");
        EXPECT_EQ(readError(), skh::format("999: Missing required attribute '{}' in <liv>", missing));
    }
}

TEST_F(LiveryCache, UnusableRecordsAreSkippedWithAWarning) {
    const std::string longTitle(300, 'T');
    writeCache(R"(<liveries><liv airl="" type="B738" title="no airline"/><liv airl="KLM" type="" title="no type"/>)"
               R"(<liv airl="KLM" type="B738" title=""/><liv airl="KLM" type="B738" title=")" +
               longTitle +
               R"("/><liv airl="KLM" type="B738" title="caf)"
               "\xe9"
               R"( ok"/></liveries>)");
    EXPECT_EQ(readError(), "");
    ASSERT_EQ(g_liveries.size(), 1u);
    EXPECT_EQ(g_liveries[0].title, "caf\xe9 ok");  // bytes of a code-page title are kept as they are
    EXPECT_TRUE(logHas("<liv> number 1 has no airline, skipped"));
    EXPECT_TRUE(logHas("<liv> number 4 has a title of 256 bytes or more, which the simulator refuses, skipped"));

    writeCache(R"(<liveries><liv airl="" type="B738" title="x"/></liveries>)");
    EXPECT_EQ(readError(), "533: " + g_liveriesScannedXml.string() + " does not contain liveries");
}

TEST_F(LiveryCache, LargeCacheReads) {
    std::string body = "<liveries>\n";
    const std::string note(320, 'n');  // attributes the reader does not know are passed over
    for (int i = 0; i < 50000; ++i) {
        body += skh::format(R"(<liv airl="A{:02}" type="T{:03}" title="Livery number {}" atcid="R{}" note="{}"/>)",
                            i % 97, i % 311, i, i, note) +
                "\n";
    }
    body += "</liveries>";
    writeCache(body);
    EXPECT_GT(fs::file_size(g_liveriesScannedXml), 20u * 1000 * 1000);
    EXPECT_EQ(readError(), "");
    EXPECT_EQ(g_liveries.size(), 50000u);
}

TEST_F(LiveryCache, AMissingCacheAsksForARescan) {
    SCAN_LIVERIES.value = false;
    gf_requestRescanWhenCacheGone();
    EXPECT_TRUE(SCAN_LIVERIES.value);
    EXPECT_TRUE(logHas("File " + g_liveriesScannedXml.string() + " is gone, rescan liveries"));
    EXPECT_NE(test::readFile(g_parametersXmlPath).find(R"(name="SCAN_LIVERIES" value="true")"), std::string::npos);

    // With the cache present nothing changes.
    SCAN_LIVERIES.value = false;
    writeCache(R"(<liveries><liv airl="A" type="B" title="C"/></liveries>)");
    gf_requestRescanWhenCacheGone();
    EXPECT_FALSE(SCAN_LIVERIES.value);
}

}  // namespace
}  // namespace skh
