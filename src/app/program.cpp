#include "app/program.hpp"

#include <curl/curl.h>
#include <sodium.h>

#include <cstdio>
#include <system_error>

#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/win_interfaces.hpp"
#include "platform/close_signals.hpp"
#include "platform/single_instance.hpp"
#include "platform/window.hpp"

namespace skh {

namespace {

// The single-instance mutex's name.
constexpr const char* kInstanceMutex = "Local\\$Skyhaven_P3D$";

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

}  // namespace

int gf_programMain(int /*argc*/, char** /*argv*/) {
    // A second copy ends at once, without a window and without the log.
    const platform::SingleInstanceLock instance(kInstanceMutex);
    if (instance.heldElsewhere()) return -1;
    if (!instance.acquired()) {
        std::fprintf(stderr, "%s: cannot take the single-instance lock %s: %s\n", PRODUCT_NAME.c_str(),
                     instance.path().c_str(), std::generic_category().message(instance.error()).c_str());
        return 1;
    }
    try {
        gf_openLog();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: cannot open the log: %s\n", PRODUCT_NAME.c_str(), e.what());
        return 1;
    }
    if (gf_appDataFolderMissing()) gf_logWarning("Could not find the AppData path");
    if (!lf_initLibraries()) return 1;
    // Ctrl-C and a kill close the program as the close button does.
    platform::installCloseSignals([] {
        if (platform::mainWindowExists()) {
            platform::requestClose();
        } else {
            gf_requestClose();
        }
    });
    const int code = gf_runMainWindow();
    platform::removeCloseSignals();
    return code;
}

}  // namespace skh
