#include "airports/airport_scan.hpp"

#include "airports/park_airport_load.hpp"

#include <system_error>

#include "aircraft/liveries.hpp"
#include "airports/airport_folder_scan.hpp"
#include "airports/park_airport_load.hpp"
#include "airports/scan_staging.hpp"
#include "airports/scenery_config.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/scan_report.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "foundation/upcalls.hpp"
#include "platform/win_path.hpp"
#include "platform/window.hpp"

namespace skh {

namespace fs = std::filesystem;

std::atomic<bool> g_addonAirportFound{false};
std::atomic<bool> g_airportFilesChanged{false};
std::atomic<bool> g_airportsScanOk{true};
std::atomic<std::uint64_t> g_tbloFileCount{0};
std::atomic<bool> g_orbxAirportsDone{false};

namespace {

constexpr const char* kOfflineLearningAddress = "airports@skyhaven-p3d.example";
constexpr std::size_t kFolderListRoom = 10;

fs::path offlineLearningFolder() { return fs::path(g_folderText); }

void logZipAndSend() {
    std::error_code ec;
    const fs::path folder = fs::absolute(offlineLearningFolder(), ec);
    gf_logWarning(skh::format(
        "\nSome of your add-on airports can be learned off line: please zip the folder {} and send it by e-mail to {}",
        folder.string(), kOfflineLearningAddress));
}

struct LearningCopies {
    std::size_t done = 0;  // not fit for off-line learning
    std::size_t copied = 0;
};

// Copies the airports fit for off-line learning into ZURI. A copied airport's
// link file goes: the copy is learned off line, and the link must not hide
// its generated file.
LearningCopies copyForLearning(const std::vector<std::string>& idents, const fs::path& folder,
                               const OfflineLearningCheck& fit, bool orbx) {
    LearningCopies counts;
    const fs::path learning = offlineLearningFolder();
    for (const std::string& ident : idents) {
        if (!fit || !fit(ident)) {
            ++counts.done;
            continue;
        }
        const fs::path source = folder / (ident + ".xml");
        const fs::path destination = learning / (ident + ".xml");
        std::error_code ec;
        fs::copy_file(source, destination, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            gf_logWarning(orbx ? skh::format("failed to copy {}", source.string())
                               : skh::format("'{}' failed to copy '{}'", source.string(), destination.string()));
            continue;
        }
        gf_log(skh::format("{} copied to {}", source.string(), destination.string()));
        ++counts.copied;
        const fs::path link = folder / (ident + ".txt");
        if (fs::exists(link)) fs::remove(link);
    }
    gf_setBoard(g_tbloFileCount, gf_countFolderEntries(learning));
    return counts;
}

}  // namespace

AirportScanServices gf_defaultAirportScanServices() {
    const PublisherLookup publisher = [](const std::string& bglPath) {
        return gf_publisherFromFileName(bglPath, [](const std::string& line) { gf_addScanReport(line); });
    };
    return {publisher, [](const std::string& ident) { return gf_prepareOfflineLearning(ident); }};
}

bool lf_scanSceneryFolder(const std::vector<std::string>& folders, const std::string& stockText,
                          AirportScanOutput& output) {
    const fs::path stockFolder = stockText.empty() ? fs::path() : platform::mapWindowsPath(stockText);
    const BglFileTask task = [&output](const fs::path& file) { output.processBglFile(file); };
    for (const std::string& text : folders) {
        if (g_stopRequested.load() || g_closeRequested.load()) return false;
        if (text.empty()) continue;
        const fs::path folder = platform::mapWindowsPath(text);
        std::error_code ec;
        const fs::file_status status = fs::status(folder, ec);
        if (status.type() == fs::file_type::not_found) {
            gf_setStatusMessage(text + " does not exist, skipped!", true);
            continue;
        }
        if (ec) {
            gf_addScanReport(
                skh::format("===>  airports search in folder {} aborted, cause: status: {}", text, ec.message()));
            continue;
        }
        if (!fs::is_directory(status)) {
            gf_setStatusMessage(text + " is not a folder name, skipped!", true);
            continue;
        }
        if (lf_isWithinFolder(text, stockText)) continue;
        if (!lf_scanFolderBgls(folder, text, stockFolder, task)) return false;
    }
    return true;
}

void lf_archiveOrbxAirports(const std::vector<std::string>& idents, const fs::path& folder,
                            const OfflineLearningCheck& fit) {
    if (idents.empty()) return;
    const LearningCopies counts = copyForLearning(idents, folder, fit, true);
    g_orbxAirportsDone = counts.done + counts.copied == idents.size();
    platform::invalidateMainWindow();
    if (g_tbloFileCount.load() == 0) {
        gf_log("All your ORBX airports are done, no off line learning needed.");
    } else {
        logZipAndSend();
    }
}

void lf_archiveThirdpartyAirports(const std::vector<std::string>& idents, const fs::path& folder,
                                  const OfflineLearningCheck& fit) {
    if (idents.empty()) return;
    copyForLearning(idents, folder, fit, false);
    if (g_tbloFileCount.load() == 0) {
        gf_log("All your third party airports are done, no off line learning needed.");
        fs::remove_all(offlineLearningFolder());
    } else {
        logZipAndSend();
    }
}

AirportsScanResult lf_runAirportsScan(const std::vector<std::string>& folders, const std::string& stockText,
                                      const fs::path& orbx, const fs::path& thirdparty,
                                      const AirportScanServices& services) {
    gf_log(skh::format("The scan will search {} folder{}", folders.size(), gf_pluralUnsigned(folders.size())));
    std::error_code ec;
    fs::remove(g_airportsScanLog, ec);
    if (ec) gf_log("problems with removing previous files (maybe still open?): " + ec.message());
    gf_setBoard(g_tbloFileCount, 0);
    gf_startScanReport();

    AirportScanOutput output(orbx, thirdparty, services.publisherOf);
    AirportsScanResult result;
    result.completed = lf_scanSceneryFolder(folders, stockText, output);
    result.found = output.filesWritten();
    g_addonAirportFound = result.found;

    std::string report;
    for (const std::string& line : gf_takeScanReport()) {
        report += line;
        report += '\n';
    }
    fs::create_directories(g_airportsScanLog.parent_path(), ec);
    const bool written = gf_writeFileAtomically(g_airportsScanLog, report);
    gf_log(g_airportsScanLog.string() + (written ? " written" : " could not be written"));
    gf_clearStatusMessage();
    if (!result.completed) return result;

    const std::vector<std::string> thirdpartyFiles = gf_listXmlFiles(thirdparty);
    const std::vector<std::string> orbxFiles = gf_listXmlFiles(orbx);
    g_orbxAirportsDone = orbxFiles.empty();
    platform::invalidateMainWindow();
    lf_archiveOrbxAirports(orbxFiles, orbx, services.fitForOfflineLearning);
    lf_archiveThirdpartyAirports(thirdpartyFiles, thirdparty, services.fitForOfflineLearning);
    if (result.found) gf_log("Airports scan successful");
    return result;
}

void gf_scanAddonAirports() { gf_scanAddonAirports(gf_defaultAirportScanServices()); }

void gf_scanAddonAirports(const AirportScanServices& services) {
    gf_setStatusMessage("Scanning for addon airports ...", false);
    const bool automatic = AFG_AUTOMATIC.value.load();
    gf_log(skh::format("\n++++++++++++++++++++++++ airports scan {}starts +++++++++++++++++++++++++++++",
                       automatic ? "automatic " : "manual "));
    g_addonAirportFound = false;
    g_airportFilesChanged = false;

    const fs::path learning = offlineLearningFolder();
    if (fs::exists(learning)) {
        gf_cleanFolder(learning);
    } else {
        fs::create_directory(learning);
    }

    const std::string installPath = SIM_INSTALL_PATH.value.get();
    const std::string stockText = lf_stockAirportsText(installPath);
    std::vector<std::string> folders;
    folders.reserve(kFolderListRoom);
    if (automatic) {
        const SceneryConfigSetup setup = lf_scenerySetup(gf_getP3DVersion(), installPath);
        lf_readSceneryCfg(folders, setup);
        lf_readSceneryAddonsXml(folders, setup);
    } else {
        lf_checkFolderParameter(folders, stockText);
        if (folders.empty()) {
            throw UserErrorException(49, "Set afolder parameter(-s) to your add-on airports first, see Manual 6.1");
        }
    }

    const ScanFolder orbx = lf_scanFolder(g_myOrbxFolder);
    const ScanFolder thirdparty = lf_scanFolder(g_myThirdpartyFolder);
    AirportsScanResult result;
    bool installed = false;
    try {
        lf_prepareStaging(orbx);
        lf_prepareStaging(thirdparty);
        result = lf_runAirportsScan(folders, stockText, orbx.staging, thirdparty.staging, services);
        if (result.completed && !result.found) {
            gf_setStatusMessage("Warning: Scan has not found any add-on airports", true);
        }
        if (result.completed) {
            const bool orbxInstalled = lf_installStaging(orbx);
            installed = lf_installStaging(thirdparty) && orbxInstalled;
        } else {
            lf_discardStaging(orbx);
            lf_discardStaging(thirdparty);
            gf_logRaw("airports scan stopped: the airport files of the previous scan stay in place");
        }
    } catch (...) {
        lf_discardStaging(orbx);
        lf_discardStaging(thirdparty);
        gf_setBoard(g_airportsScanOk, false);
        throw;
    }
    g_airportFilesChanged = installed && result.found;
    gf_setBoard(g_airportsScanOk, installed);
    if (installed) {
        SCAN_AIRPORTS.value = false;
        gf_saveBoolParameter(SCAN_AIRPORTS);
        gf_showBoolParameter(SCAN_AIRPORTS);
        platform::invalidateMainWindow();
    }
    if (gf_countFolderEntries(learning) == 0) fs::remove_all(learning);
    platform::invalidateMainWindow();
    gf_log("-------------------------- airports scan ends    ----------------------------\n");
}

}  // namespace skh
