#include "app/startup.hpp"

#include <fmt/format.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <new>
#include <thread>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries.hpp"
#include "airports/airport_list.hpp"
#include "airports/stand_locations.hpp"
#include "app/app_state.hpp"
#include "app/commands.hpp"
#include "app/main_window.hpp"
#include "app/run.hpp"
#include "app/run_state.hpp"
#include "app/traffic_seam.hpp"
#include "feed/udp_reader.hpp"
#include "foundation/constants.hpp"
#include "foundation/datasets.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text_files.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "foundation/win_interfaces.hpp"
#include "platform/memory.hpp"
#include "platform/registry.hpp"
#include "platform/win_path.hpp"
#include "platform/window.hpp"
#include "simclient/sim_state.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

// A path given in Windows form (settings, registry), on this machine.
fs::path lf_local(const std::string& windowsPath) { return platform::mapWindowsPath(windowsPath); }

// exists() that throws only for another failure than "not found".
bool lf_exists(const fs::path& path) {
    std::error_code ec;
    const bool found = fs::exists(path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) throw fs::filesystem_error("exists", path, ec);
    return found;
}

void lf_showInstallPath(const std::string& text) {
    ALL_INSTALL_PATH.value.set(text);
    gf_showStringParameter(ALL_INSTALL_PATH);
}

[[noreturn]] void lf_noInstallPath() {
    lf_showInstallPath(std::string());
    throw UserErrorException(151, "No P3D install path detected, type full Install Path above, and press Enter");
}

// Errors 151 and 153 wait for an install path typed into the window; with
// no window on a display there is nothing to type into, so the console says
// once where the path can be given instead, and how to close. True when it
// said so.
bool lf_sayWhereWithoutWindow(const UserErrorException& e) {
    if ((e.number() != 151 && e.number() != 153) || gf_mainWindowOnDisplay()) return false;
    std::string registry = platform::regStandInFile();
    if (registry.empty()) registry = "(none: SKYHAVEN_REGISTRY names its file)";
    const std::string orRegistry =
        e.number() == 151
            ? skh::format(
                  "or as SetupPath of the key [HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5] "
                  "(or v6) in the registry stand-in {}",
                  registry)
            : skh::format("or keep the key of one Prepar3D version only in the registry stand-in {}", registry);
    const std::string text = skh::format(
        "No window to type the install path into: give it as {} in {}, {}; then start {} again (Ctrl-C closes it)",
        SIM_INSTALL_PATH.name, g_parametersXmlPath, orRegistry, PRODUCT_NAME);
    std::fprintf(stderr, "%s\n", text.c_str());
    return true;
}

// A failure of the start-up or the run other than a user error: SYSTEM
// ERROR with no restart, unless a stop is already under way.
void lf_systemErrorStop() { gf_requestStop(AppState::SystemError, 0); }

// Steps 1 to 14 of the start-up; a stop ends them early.
void lf_startup() {
    lf_checkProgramFolder();
    lf_detectInstallations();
    lf_checkStockAirportsPath();
    gf_initTaskThrottle();

    // The server is asked again in each run for the stock files it lacked.
    gf_clearStockProbes();
    gf_requestRescanWhenCacheGone();
    if (g_liveryIndexClearRequested.exchange(false)) gf_clearLiveryIndex();
    seam::gf_scanLiveries();
    if (gf_stopUnderWay()) return;

    auto& board = g_mainWindowState;
    if (SCAN_AIRPORTS.value.load()) {
        gf_setBoard(board.orbxAirportCount, 0);
        gf_setBoard(board.thirdpartyAirportCount, 0);
        seam::gf_scanAddonAirports();
    }
    gf_setBoard(board.thirdpartyAirportCount, gf_countFolderEntries(g_myThirdpartyFolder));
    gf_setBoard(board.orbxAirportCount, gf_countFolderEntries(g_myOrbxFolder));
    if (gf_stopUnderWay()) {
        // A closed window ends the start here; another reason (a setting
        // that asks for a restart) keeps its outcome.
        if (g_closeRequested.load()) gf_requestClose();
        return;
    }
    // Reading the data sets and the livery index (and a scan) freed far more
    // than the run keeps: give it back before the hours beside the simulator.
    platform::releaseFreedMemory();

    seam::gf_makeFlightPlanFolder();
    seam::lf_readMyParkAirports();
    gf_enableControl(g_reReadButton, true);
    const std::string destination = DESTINATION.value.get();
    if (!destination.empty()) {
        if (const Airport* airport = gf_findAirport(destination)) {
            lf_setDestination(destination, GeoPos{airport->lat, airport->lon});
        }
    }
    platform::setMainWindowTopmost(ALWAYS_ON_TOP.value.load());
    lf_runSession(gf_runClock());
}

}  // namespace

void lf_checkProgramFolder() {
    std::error_code ec;
    const auto status = fs::status(g_docsFolder, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) throw fs::filesystem_error("status", g_docsFolder, ec);
    if (!fs::is_directory(status)) {
        throw UserErrorException(41, skh::format("{} must be run from the {} folder!", PRODUCT_NAME, PRODUCT_NAME));
    }
}

void lf_createDataFolders() {
    for (const fs::path& folder : {g_outputFolder, g_infoFolder, g_errorsFolder, g_airportsFolder, g_learnedFolder,
                                   g_learnedStockFolder, g_learnedSimaddonFolder, g_learnedThirdpartyFolder,
                                   g_myOrbxFolder, g_myThirdpartyFolder, g_myRegcodesFolder}) {
        std::error_code ec;
        const bool isFolder = fs::is_directory(folder, ec);
        if (ec && ec != std::errc::no_such_file_or_directory) throw fs::filesystem_error("status", folder, ec);
        if (!isFolder) fs::create_directories(folder);
    }
    for (const char* old : {"AIG-regcodes0.xml", "AIG-regcodes00.xml"}) {
        const fs::path path = g_inputFolder / old;
        if (lf_exists(path)) fs::remove(path);
    }
}

void lf_detectP3D() {
    const bool v5 = gf_isP3dInstalled(5);
    const bool v6 = gf_isP3dInstalled(6);
    if (v5 && v6) {
        throw UserErrorException(
            153, "More than one P3D version detected, type full Install Path to wanted version above and press Enter");
    }
    if (!v5 && !v6) {
        gf_setStatusMessage("P3D not detected?", true);
        for (const auto* folders : {&g_liveryFolderParams, &g_airportFolderParams}) {
            for (const StringParameter* p : *folders) {
                if (!p->value.empty()) return;  // the folders given by hand are used
            }
        }
        lf_noInstallPath();
    }
    const int version = v6 ? 6 : 5;
    gf_log(skh::format("P3Dv{}detected", version));
    const std::string path = gf_p3dSetupPath(version).string();
    if (path.empty()) lf_noInstallPath();
    lf_showInstallPath(path);
    SIM_INSTALL_PATH.value.set(path);
    gf_saveStringParameter(SIM_INSTALL_PATH);
}

void lf_checkStockAirportsPath() {
    g_stockAirportsPath = lf_local(SIM_INSTALL_PATH.value.get()) / "Scenery";
    std::error_code ec;
    if (!fs::exists(g_stockAirportsPath, ec)) {
        gf_setStatusMessage(skh::format("Stock airports path does not exist: {}", g_stockAirportsPath.string()), true);
    }
}

void lf_detectInstallations() {
    gf_loadParameters();
    platform::invalidateMainWindow();
    lf_createDataFolders();
    g_maxLiveAtStart = static_cast<std::uint32_t>(std::max(MAX_LIVE_SEL.value.load(), 0));
    if (!g_restartRequested.load()) gf_checkDataVersions();
    lf_enableSettingsControls();
    PROGRAM_INSTALL_PATH.value.set(fs::current_path().string());
    gf_saveStringParameter(PROGRAM_INSTALL_PATH);
    g_weekSlot = gf_weekdayAndSlot();
    if (!g_startupDone) {
        gf_readDbase();
        g_startupDone = true;
    }
    gf_readAirports();
    lf_showInstallPath(SIM_INSTALL_PATH.value.get());
    gf_enableControl(ALL_INSTALL_PATH, true);
    if (ALL_INSTALL_PATH.value.empty()) lf_detectP3D();
    platform::invalidateMainWindow();

    const fs::path appData = gf_appDataFolder();
    g_rtOnThisPc = !appData.empty() && lf_exists(appData / g_realTrafficFolder / "RealTraffic.jar");
    gf_setStatusMessage(skh::format("RealTraffic {}detected at this PC", g_rtOnThisPc.load() ? "" : "not "), true);
    g_rangeAtStart = RANGE.value.load();
}

float lf_snapFloatStep(std::int32_t n) {
    struct Step {
        std::int32_t atLeast;
        float hours;
    };
    // 20 and 21 half-hours (10.5 and 11 hours) lie between the choices 10
    // and 12; they take the lower one, like every other count here.
    static constexpr Step kSteps[] = {{44, 24.0f}, {38, 21.0f}, {32, 18.0f}, {26, 15.0f}, {22, 12.0f},
                                      {18, 10.0f}, {16, 9.0f},  {14, 8.0f},  {12, 7.0f},  {10, 6.0f},
                                      {9, 5.0f},   {8, 4.5f},   {7, 4.0f},   {6, 3.5f},   {5, 3.0f},
                                      {4, 2.5f},   {3, 2.0f},   {2, 1.5f},   {1, 1.0f}};
    for (const auto& s : kSteps) {
        if (n >= s.atLeast) return s.hours;
    }
    return 0.5f;
}

void lf_enableSettingsControls() {
    for (const BoolUiParameter* box : {&LOG,
                                       &ALWAYS_ON_TOP,
                                       &NAV_LIGHTS_WHILE_PARKED,
                                       &GUID_CHANGES,
                                       &SCAN_LIVERIES,
                                       &LIG_AUTOMATIC,
                                       &LIG_PRIORITIZE,
                                       &SCAN_AIRPORTS,
                                       &AFG_AUTOMATIC,
                                       &LIGHT_AIRCRAFT,
                                       &HELICOPTERS,
                                       &HIGH_PERF_AIRCRAFT,
                                       &AUTO_RANGE,
                                       &AIRBORNE_ONLY,
                                       &COLLISION_USER_GND,
                                       &COLLISION_USER_AIR,
                                       &COLLISION_LIVE_PARKED_GND,
                                       &STRAIGHT_PBS_ONLY,
                                       &PARK_FAKE,
                                       &WEEK,
                                       &PARK_SOFT,
                                       &INITIAL_LOAD_ONLY}) {
        gf_enableControl(*box, true);
    }
    gf_enableControl(LEARN_SOFT, false);
    for (IntChoiceParameter* combo : {&MATCHING_DEPTH, &MAX_PARK_SEL, &MAX_LIVE_SEL, &AIRP_RANGE, &AIRP_HEIGHT}) {
        gf_fillIntComboBox(*combo);
        gf_enableControl(*combo, true);
    }
    const bool autoRange = AUTO_RANGE.value.load();
    gf_fillIntComboBox(RANGE);
    gf_enableControl(RANGE, !autoRange);
    gf_fillIntComboBox(AR_ABOVE_HEIGHT);
    gf_enableControl(AR_ABOVE_HEIGHT, autoRange);
    gf_enableControl(BLOCK_CALLSIGN, true);
    gf_enableControl(g_unblockButton, !BLOCK_CALLSIGN.value.empty());
    for (const UiControl* off :
         std::initializer_list<const UiControl*>{&g_blockButton, &g_callsignToObjectIdButton, &g_reReadButton,
                                                 &g_flushStaticButton, &CALLSIGN_2_OBJECTID, &DESTINATION}) {
        gf_enableControl(*off, false);
    }
    parking_percentage.value = 30;
    gf_fillIntComboBox(parking_percentage);
    gf_enableControl(parking_percentage, false);

    const platform::WindowHandle maxFit = MAX_FIT_FL.hwnd.load();
    if (maxFit != 0) {
        const auto select = [maxFit](float value) {
            for (std::size_t i = 0; i < MAX_FIT_FL.choices.size(); ++i) {
                if (MAX_FIT_FL.choices[i] == value) {
                    platform::comboSetCurSel(maxFit, static_cast<int>(i));
                    return;
                }
            }
        };
        platform::comboResetContent(maxFit);
        for (const float choice : MAX_FIT_FL.choices) {
            platform::comboAddString(maxFit, gf_utf8ToUtf16(skh::format("{:.1f}", choice)));
        }
        select(MAX_FIT_FL.value.load());
        MAX_FIT_FL.value = lf_snapFloatStep(MAX_FIT.value.load());
        select(MAX_FIT_FL.value.load());
        platform::enableWindow(maxFit, false);
    }
}

void lf_setDestination(const std::string& code, GeoPos position) {
    DESTINATION.value.set(code);
    gf_saveStringParameter(DESTINATION);
    gf_showStringParameter(DESTINATION);
    gf_setStatusMessage(skh::format("New destination: {}", code), true);
    seam::gf_addParkAirport(code, position);
    gf_enableControl(g_reReadButton, false);
}

void gf_sayHowToCloseAfterError() {
    if (gf_mainWindowOnDisplay() || g_closeRequested.load()) return;
    std::fprintf(stderr, "%s waits to be closed after this error (Ctrl-C closes it)\n", PRODUCT_NAME.c_str());
}

ClosingOutcome lf_startupThread() {
    // Every way out of the start-up or the run by an exception is a failure.
    bool failed = true;
    bool closeSaid = false;
    try {
        lf_startup();
        failed = false;
    } catch (const UserErrorException& e) {
        const std::string text = e.what();
        gf_setErrorMessage(text.empty() ? "Unknown exception" : text);
        closeSaid = lf_sayWhereWithoutWindow(e);
        gf_setSystemError();
    } catch (const win32::Utf8ConversionException& e) {
        gf_setErrorMessage(skh::format("Utf8ConversionException: {}", e.what()));
        lf_systemErrorStop();
    } catch (const fmt::format_error& e) {
        gf_setErrorMessage(skh::format("std::format error: {}", e.what()));
        gf_setErrorMessage(e.what());
        lf_systemErrorStop();
    } catch (const std::bad_alloc& e) {
        gf_setErrorMessage(e.what());
        lf_systemErrorStop();
    } catch (const std::exception& e) {
        gf_setErrorMessage(e.what());
        lf_systemErrorStop();
    } catch (...) {
        gf_setErrorMessage("Unknown exception");
        gf_setSystemError();
    }
    // The closing step waits for the user after a system error only.
    if (failed && !closeSaid && g_appState.load() == AppState::SystemError) gf_sayHowToCloseAfterError();
    const ClosingOutcome outcome = lf_closingDown(gf_runClock());
    // The simulator's user error (a wrong version, say) leaves the run waiting for the close: a failure too.
    if (outcome == ClosingOutcome::Quit && (failed || gf_simUserErrorShown())) return ClosingOutcome::QuitFailed;
    return outcome;
}

}  // namespace skh
