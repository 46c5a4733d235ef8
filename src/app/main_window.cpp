#include "app/main_window.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <pugixml.hpp>
#include <thread>

#include "app/app_state.hpp"
#include "app/commands.hpp"
#include "app/startup.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "foundation/win_interfaces.hpp"
#include "platform/clock.hpp"

namespace skh {

namespace fs = std::filesystem;
using platform::ControlKind;

namespace {

constexpr int kDisplayWaitSteps = 18;
constexpr std::chrono::milliseconds kDisplayWaitStep{50};

// The worker of the current start; only the UI thread starts and joins it.
std::thread g_startupWorker;
// Set by the UI thread before the first worker starts.
std::atomic<bool> g_windowOnDisplay{false};

void lf_startWorker() {
    // The previous worker posted this start as its last act: it has ended or is ending.
    if (g_startupWorker.joinable()) g_startupWorker.join();
    g_startupWorker = std::thread([] {
        const ClosingOutcome outcome = lf_startupThread();
        if (outcome == ClosingOutcome::Restart) {
            platform::postMessage(WM_APP_START);
        } else {
            platform::postMessage(WM_APP_QUIT, outcome == ClosingOutcome::QuitFailed ? 1 : 0);
        }
    });
}

std::u16string wide(const std::string& text) { return gf_utf8ToUtf16(text); }

void lf_createCheckBox(BoolUiParameter& p, int x) {
    const platform::WindowHandle h =
        platform::createControl(ControlKind::CheckBox, p.controlId, u"", x, p.row + 2, 12, 12);
    p.hwnd = h;
    platform::setCheck(h, p.value.load());
    platform::enableWindow(h, true);
}

void lf_createButton(ActionButton& b, int x, int width) {
    const platform::WindowHandle h =
        platform::createControl(ControlKind::PushButton, b.controlId, wide(b.name), x, b.row, width, 20);
    b.hwnd = h;
    platform::enableWindow(h, false);
}

void lf_createEdit(StringUiParameter& p, int x, int width, platform::EditProc proc) {
    const platform::WindowHandle h = platform::createControl(ControlKind::Edit, p.controlId, u"", x, p.row, width, 16);
    p.hwnd = h;
    if (proc) platform::setEditProc(h, std::move(proc));
    platform::enableWindow(h, false);
}

void lf_createCombo(UiControl& c, int x, int width, int dropHeight) {
    c.hwnd = platform::createControl(ControlKind::ComboBox, c.controlId, u"", x, c.row - 5, width, dropHeight);
}

void lf_saveWindowPosition() {
    const platform::Rect r = platform::mainWindowRect();
    const std::int32_t previousX = MAIN_WINDOW_X.value.load();
    const std::int32_t previousY = MAIN_WINDOW_Y.value.load();
    MAIN_WINDOW_X.value = std::clamp(r.left, MAIN_WINDOW_X.minimum, MAIN_WINDOW_X.maximum);
    MAIN_WINDOW_Y.value = std::clamp(r.top, MAIN_WINDOW_Y.minimum, MAIN_WINDOW_Y.maximum);
    gf_saveIntParameter(MAIN_WINDOW_X);
    gf_saveIntParameter(MAIN_WINDOW_Y);
    lf_storeWindowPosition(previousX, previousY);
    gf_logRaw(gf_timeText(platform::utcNowSeconds()));
}

// The start ends before the window could show anything: the log and the
// console say why.
void lf_failedStart(const std::string& text) {
    gf_logRaw(text);
    std::fprintf(stderr, "%s: %s\n", PRODUCT_NAME.c_str(), text.c_str());
}

}  // namespace

void lf_storeWindowPosition(std::int32_t x, std::int32_t y) {
    for (auto [p, given] : {std::pair{&MAIN_WINDOW_X, x}, std::pair{&MAIN_WINDOW_Y, y}}) {
        const std::int32_t stored = p->value.load();
        if (stored != p->minimum && stored != p->maximum) continue;
        p->value = std::clamp(given, p->minimum, p->maximum);
        gf_saveIntParameter(*p);
    }
}

void lf_createControls() {
    lf_createEdit(ALL_INSTALL_PATH, 111, 1200, lf_editSubclassProc(ALL_INSTALL_PATH));
    lf_createCheckBox(SCAN_LIVERIES, 5);
    lf_createCheckBox(LIG_AUTOMATIC, 217);
    lf_createCheckBox(LIG_PRIORITIZE, 450);
    lf_createCheckBox(SUPPRESS_STUB, 536);
    lf_createCheckBox(LOG, 652);
    lf_createCheckBox(ALWAYS_ON_TOP, 748);
    lf_createCheckBox(SCAN_AIRPORTS, 5);
    lf_createCheckBox(AFG_AUTOMATIC, 217);
    lf_createCheckBox(NAV_LIGHTS_WHILE_PARKED, 652);
    lf_createCheckBox(LEARN_SOFT, 748);
    lf_createCombo(MATCHING_DEPTH, 217, 40, 120);
    lf_createCheckBox(LIGHT_AIRCRAFT, 323);
    lf_createCheckBox(HELICOPTERS, 430);
    lf_createCheckBox(HIGH_PERF_AIRCRAFT, 536);
    lf_createCheckBox(AEROWINX, 652);
    lf_createCheckBox(GUID_CHANGES, 748);
    lf_createCombo(RANGE, 217, 50, 200);
    lf_createCheckBox(AUTO_RANGE, 323);
    lf_createCombo(AR_ABOVE_HEIGHT, 455, 70, 230);
    lf_createCheckBox(AIRBORNE_ONLY, 572);
    lf_createCheckBox(COLLISION_USER_GND, 217);
    lf_createCheckBox(COLLISION_USER_AIR, 323);
    lf_createCheckBox(COLLISION_LIVE_PARKED_GND, 430);
    lf_createEdit(BLOCK_CALLSIGN, 107, 100, lf_editSubclassProc(BLOCK_CALLSIGN));
    lf_createButton(g_unblockButton, 223, 60);
    lf_createButton(g_callsignToObjectIdButton, 305, 60);
    lf_createCombo(CALLSIGN_2_OBJECTID, 375, 100, 300);
    lf_createButton(g_blockButton, 576, 60);
    lf_createCombo(MAX_PARK_SEL, 323, 55, 144);
    lf_createCombo(MAX_LIVE_SEL, 536, 55, 144);
    lf_createEdit(DESTINATION, 217, 50, lf_editSubclassProc(DESTINATION));
    lf_createCombo(AIRP_RANGE, 353, 45, 144);
    lf_createCombo(AIRP_HEIGHT, 566, 70, 230);
    lf_createCheckBox(STRAIGHT_PBS_ONLY, 652);
    lf_createCheckBox(PARK_FAKE, 5);
    lf_createCheckBox(WEEK, 71);
    lf_createCheckBox(PARK_SOFT, 151);
    lf_createCombo(parking_percentage, 323, 50, 200);
    lf_createCheckBox(INITIAL_LOAD_ONLY, 430);
    lf_createCombo(MAX_FIT_FL, 566, 60, 300);
    lf_createButton(g_reReadButton, 758, 90);
    lf_createButton(g_flushStaticButton, 758, 90);
    for (IntChoiceParameter* combo : {&MATCHING_DEPTH, &RANGE, &AR_ABOVE_HEIGHT, &MAX_PARK_SEL, &MAX_LIVE_SEL,
                                      &AIRP_RANGE, &AIRP_HEIGHT, &parking_percentage}) {
        gf_fillIntComboBox(*combo);
    }
    gf_fillCallsignComboBox();
    platform::invalidateMainWindow();
}

std::intptr_t lf_wndProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
        case platform::kWmCreate:
            lf_createControls();
            return 0;
        case platform::kWmDestroy:
            platform::postQuitMessage(0);
            return 0;
        case platform::kWmPaint:
            lf_paintWindow(*reinterpret_cast<platform::PaintSurface*>(lParam));
            return 0;
        case platform::kWmClose:
            if (platform::mainWindowDisplayLost()) {
                // Logged directly: the ordinary writer is silent once a close is under way.
                const std::string text =
                    skh::format("The display of the main window is gone, closing {} ...", PRODUCT_NAME);
                gf_setStatusMessage(text, false);
                gf_logRaw(text);
            } else {
                gf_setStatusMessage(skh::format("Close window button clicked, closing {} ...", PRODUCT_NAME), false);
            }
            gf_requestClose();
            return 0;
        case platform::kWmCommand:
            lf_HandleWMCOMMAND(wParam);
            return 0;
        case WM_APP_START:
            lf_startWorker();
            return 0;
        case WM_APP_QUIT:
            // wParam: the program's exit status.
            lf_saveWindowPosition();
            platform::postQuitMessage(static_cast<int>(wParam));
            return 0;
        default:
            return 0;
    }
}

bool initInstance(const std::string& title) {
    for (int i = 0; !g_mainWindowState.g_displayReady.load(); ++i) {
        if (i == kDisplayWaitSteps) return false;
        std::this_thread::sleep_for(kDisplayWaitStep);
    }
    pugi::xml_document doc;
    if (doc.load_file(g_parametersXmlPath.c_str())) {
        gf_findIntParameter(MAIN_WINDOW_X, doc, false);
        gf_findIntParameter(MAIN_WINDOW_Y, doc, false);
        lf_storeWindowPosition(MAIN_WINDOW_X.defaultValue, MAIN_WINDOW_Y.defaultValue);
    }
    const auto create = [&title](platform::WindowBackend backend) {
        return platform::createMainWindow(backend, wide(title), MAIN_WINDOW_X.value.load(), MAIN_WINDOW_Y.value.load(),
                                          kMainWindowWidth, kMainWindowHeight, &lf_wndProc);
    };
    const platform::WindowBackend backend = platform::chooseWindowBackend();
    bool created = create(backend);
    g_windowOnDisplay = created && backend == platform::WindowBackend::Fltk;
    if (!created && backend == platform::WindowBackend::Fltk) {
        gf_logRaw("No display for the main window; running without one");
        created = create(platform::WindowBackend::Headless);
    }
    return created && platform::showMainWindow();
}

int gf_runMainWindow() {
    const std::string title = PRODUCT_NAME;
    if (!initInstance(title)) {
        lf_failedStart("initInstance failed");
        return 1;
    }
    try {
        std::error_code ec;
        if (!fs::exists(g_settingsFolder, ec)) fs::create_directories(g_settingsFolder);
    } catch (const fs::filesystem_error& e) {
        lf_failedStart(skh::format("Failed to create directory: {}", e.what()));
        platform::destroyMainWindow();
        return 1;
    }
    if (platform::mainWindowExists()) platform::postMessage(WM_APP_START);
    const int code = platform::runMessageLoop();
    gf_joinStartupWorker();
    platform::destroyMainWindow();
    return code;
}

bool gf_mainWindowOnDisplay() { return g_windowOnDisplay.load() && platform::mainWindowExists(); }

void gf_joinStartupWorker() {
    if (g_startupWorker.joinable()) g_startupWorker.join();
}

}  // namespace skh
