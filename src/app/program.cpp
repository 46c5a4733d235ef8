#include "app/program.hpp"

#include <curl/curl.h>
#include <sodium.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <new>

#include "aircraft/dbase.hpp"
#include "app/app_state.hpp"
#include "app/startup.hpp"
#include "foundation/constants.hpp"
#include "foundation/datasets.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/win_interfaces.hpp"

namespace skh {

namespace {

// Libraries that want one global initialisation per process.
bool lf_initLibraries() {
    if (sodium_init() < 0) {
        gf_logWarning("sodium_init failed");
        return false;
    }
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        gf_logWarning("curl_global_init failed");
        return false;
    }
    return true;
}

void lf_makeSettingsFolder() {
    std::error_code ec;
    if (std::filesystem::is_directory(g_settingsFolder, ec)) return;
    std::filesystem::create_directories(g_settingsFolder, ec);
    if (ec) {
        gf_logWarning(skh::format("Could not create the settings folder {}: {}", g_settingsFolder.string(),
                                  ec.message()));
    } else {
        gf_logRaw(skh::format("Settings folder {} created", g_settingsFolder.string()));
    }
}

// The data sets are checked on the first start of the process only; the
// in-process restarts use what is on disk.
std::atomic<bool> s_dataVersionsChecked{false};
// The aircraft database is read once per process.
std::atomic<bool> g_startupDone{false};

// The start-up steps that stand so far; throws on failure.
void lf_startup() {
    lf_checkProgramFolder();
    gf_loadParameters();
    lf_createDataFolders();
    if (!s_dataVersionsChecked.exchange(true)) gf_checkDataVersions();
    if (!g_startupDone.load()) {
        gf_readDbase();
        g_startupDone = true;
    }
    gf_setStatusMessage(skh::format("{} started in {}", PRODUCT_NAME, std::filesystem::current_path().string()),
                        true);
}

}  // namespace

int gf_programMain(int /*argc*/, char** /*argv*/) {
    try {
        gf_openLog();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: cannot open the log: %s\n", PRODUCT_NAME.c_str(), e.what());
        return 1;
    }
    if (gf_appDataFolderMissing()) gf_logWarning("Could not find the AppData path");
    if (!lf_initLibraries()) return 1;
    lf_makeSettingsFolder();

    try {
        lf_startup();
    } catch (const UserErrorException& e) {
        gf_setErrorMessage(e.what());
        g_appState = AppState::SystemError;
    } catch (const std::bad_alloc& e) {
        gf_setErrorMessage(e.what());
        gf_requestStop(AppState::SystemError, 0);
    } catch (const std::exception& e) {
        gf_setErrorMessage(e.what());
        gf_requestStop(AppState::SystemError, 0);
    }
    // Without a window there is nothing to wait for: a failed start ends the
    // process with a non-zero status.
    return g_appState.load() == AppState::SystemError ? 2 : 0;
}

}  // namespace skh
