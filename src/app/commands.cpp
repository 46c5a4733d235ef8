#include "app/commands.hpp"

#include <cmath>
#include <filesystem>
#include <gsl/narrow>
#include <system_error>

#include "airports/airport_list.hpp"
#include "airports/park_airport_load.hpp"
#include "app/app_state.hpp"
#include "app/main_loop.hpp"
#include "app/main_window.hpp"
#include "app/run_state.hpp"
#include "app/ui_requests.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text.hpp"
#include "foundation/win_interfaces.hpp"
#include "platform/utf16.hpp"
#include "platform/win_path.hpp"

namespace skh {

namespace fs = std::filesystem;
using platform::ControlId;

std::atomic<bool> g_aircraftListChanged{false};
std::atomic<bool> g_liveryIndexClearRequested{false};

namespace {

constexpr int kRestartDelayForSettings = 2;
constexpr int kRestartDelayForInstallPath = 3;

void note(const std::string& text, bool log = false) { gf_setStatusMessage(text, log); }
void clear() { gf_clearStatusMessage(); }
void repaint() { platform::invalidateMainWindow(); }
void restart() { gf_requestNewSettings(kRestartDelayForSettings); }
void enable(const UiControl& c, bool on) { gf_enableControl(c, on); }
void lf_markApfParamsChangedWhenLoaded() {
    if (g_parkAirportLoaded.load()) g_apfParamsChanged = true;
}

// The text of an edit box, whole or not at all: a text that is not valid
// UTF-16 gives false and, for the message, its valid beginning.
bool lf_editText(ControlId id, std::string& out) {
    const platform::WindowHandle h = platform::getDlgItem(id);
    if (h == 0) {
        gf_logRaw(skh::format("GetDlgItem failed for ID {}", id));
        out.clear();
        return true;
    }
    std::u16string text = platform::getWindowText(h);
    if (text.size() > 1023) text.resize(1023);
    out.clear();
    std::uint32_t error = 0;
    return platform::utf16ToUtf8Append(text, out, error) == text.size();
}

// Callsigns are printable ASCII without blanks.
bool lf_plainCallsign(const std::string& text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) return false;
    }
    return true;
}

// --- Check boxes ---------------------------------------------------------------

struct CheckBoxAction {
    BoolUiParameter* setting;
    void (*on)();
    void (*off)();
};

void nothing() {}

const CheckBoxAction kCheckBoxes[] = {
    {&LIG_AUTOMATIC, clear, [] { note("The liveries defined by your lfolder parameters will be scanned"); }},
    {&LIG_PRIORITIZE,
     [] { note("Liveries, for airl+model, in lower lfolders that are already available will be skipped"); }, clear},
    {&COLLISION_LIVE_PARKED_GND, clear,
     [] { note("Be aware, no collision avoidance with live aircraft vs parked static on the ground"); }},
    {&COLLISION_USER_AIR, clear, [] { note("Be aware, no collision avoidance with user aircraft in the air"); }},
    // Toggled and saved like its neighbours.
    {&COLLISION_USER_GND, clear, [] { note("Be aware, no collision avoidance with user aircraft on the ground"); }},
    {&INITIAL_LOAD_ONLY,
     [] {
         note("Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes");
         repaint();
         lf_markApfParamsChangedWhenLoaded();
     },
     [] {
         clear();
         repaint();
         lf_markApfParamsChangedWhenLoaded();
     }},
    {&ALWAYS_ON_TOP,
     [] {
         note(skh::format("{}'s window will remain visible", PRODUCT_NAME));
         platform::setMainWindowTopmost(true);
         repaint();
     },
     [] {
         clear();
         platform::setMainWindowTopmost(false);
         repaint();
     }},
    {&SUPPRESS_STUB, [] { note("Exclude FSLTL-liveries titles ending with _STUB from scan"); }, clear},
    {&GUID_CHANGES,
     [] {
         clear();
         repaint();
     },
     [] {
         note("Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!");
         repaint();
     }},
    {&AEROWINX,
     [] { note(skh::format("Note: This mode is for Aerowinx PSX users only, please re-start {}", PRODUCT_NAME)); },
     clear},
    {&AUTO_RANGE,
     [] {
         enable(RANGE, false);
         enable(AR_ABOVE_HEIGHT, true);
         gf_keepManualRange();
         gf_requestAutoRange(true);
     },
     [] {
         enable(RANGE, true);
         enable(AR_ABOVE_HEIGHT, false);
         // At once, so that neither the run nor the main loop can keep an automatic value.
         gf_restoreManualRange();
         gf_requestAutoRange(false);
         clear();
     }},
    {&SCAN_LIVERIES,
     [] {
         if (g_runStarting.load()) {
             g_liveryIndexClearRequested = true;
             note("Your liveries will be scanned", true);
             restart();
         } else {
             note(
                 skh::format("Your liveries will be scanned at the next start of {}, recommended after you have "
                             "add/removed AI aircraft models/liveries",
                             PRODUCT_NAME));
         }
         repaint();
     },
     [] {
         clear();
         repaint();
     }},
    {&SCAN_AIRPORTS,
     [] {
         if (g_runStarting.load()) {
             note("Your airports will be scanned", true);
             restart();
         } else {
             note(
                 skh::format("Your airports will be scanned at the next start of {}, recommended after you have "
                             "add/removed airports",
                             PRODUCT_NAME));
         }
         repaint();
     },
     [] {
         clear();
         repaint();
     }},
    {&AFG_AUTOMATIC, nothing, [] { note("The airports defined by your afolder parameters will be scanned", true); }},
    {&PARK_SOFT, lf_showRespondCountdown, lf_showRespondCountdown},
    {&PARK_FAKE, lf_showRespondCountdown, lf_showRespondCountdown},
    {&WEEK, lf_showRespondCountdown, lf_showRespondCountdown},
    {&NAV_LIGHTS_WHILE_PARKED, [] { gf_requestNavLights(true); }, [] { gf_requestNavLights(false); }},
    {&LEARN_SOFT, lf_markApfParamsChangedWhenLoaded, lf_markApfParamsChangedWhenLoaded},
    {&AIRBORNE_ONLY,
     [] {
         note("Be aware, airborne live traffic only!  (greater than 300 ft above ground ...)");
         repaint();
     },
     [] {
         clear();
         repaint();
     }},
    {&STRAIGHT_PBS_ONLY, nothing, nothing},
    {&LOG, nothing, nothing},
    {&LIGHT_AIRCRAFT, nothing, nothing},
    {&HELICOPTERS, nothing, nothing},
    {&HIGH_PERF_AIRCRAFT, nothing, nothing},
};

// --- Combo boxes -----------------------------------------------------------------

void lf_onAircraftChosen(const std::string& text) {
    if (text == CALLSIGN_2_OBJECTID.value.get()) return;
    // The aircraft list is never stored.
    CALLSIGN_2_OBJECTID.value.set(text);
    gf_setBoard(g_mainWindowState.selectedAcText, std::string());
    repaint();
    g_aircraftListChanged = true;
    enable(g_blockButton, !gf_controlEnabled(g_unblockButton));
}

// The choice at the index becomes the setting's value; saved unless the
// setting is one that is never stored.
std::int32_t lf_takeIntChoice(IntChoiceParameter& p, int index, bool store) {
    if (index < 0 || static_cast<std::size_t>(index) >= p.choices.size()) return p.value.load();
    const std::int32_t value = std::clamp(p.choices[static_cast<std::size_t>(index)], p.minimum, p.maximum);
    p.value = value;
    if (store) gf_saveIntParameter(p);
    return value;
}

void lf_onMaxFitChosen(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= MAX_FIT_FL.choices.size()) return;
    const float hours = MAX_FIT_FL.choices[static_cast<std::size_t>(index)];
    MAX_FIT_FL.value = hours;
    const double doubled = std::round(2.0 * static_cast<double>(hours));
    const auto halfHours = gsl::narrow<std::int32_t>(doubled);
    MAX_FIT.value = std::clamp(halfHours - 1, MAX_FIT.minimum, MAX_FIT.maximum);
    gf_saveIntParameter(MAX_FIT);
    if (g_parkAirportLoaded.load()) lf_showRespondCountdown();
}

}  // namespace

std::optional<std::pair<int, std::string>> lf_getControlTextUtf8(ControlId id, std::uintptr_t wParam) {
    if (platform::lowWord(wParam) != id || platform::highWord(wParam) != platform::kCbnSelChange) return std::nullopt;
    const platform::WindowHandle h = platform::getDlgItem(id);
    if (h == 0) return std::nullopt;
    const int index = platform::comboGetCurSel(h);
    std::u16string text;
    if (index < 0 || !platform::comboGetLbText(h, index, text)) return std::nullopt;
    return std::make_pair(index, gf_utf16ToUtf8(text));
}

bool lf_handleBlockButton(std::uintptr_t wParam) {
    const ControlId id = platform::lowWord(wParam);
    // Push buttons keep no state: every click acts.
    if (id == g_unblockButton.controlId) {
        if (BLOCK_CALLSIGN.value.empty()) {
            note("Nothing to block or unblock...");
        } else {
            lf_unblockCallsign();
        }
        enable(g_blockButton, !CALLSIGN_2_OBJECTID.value.empty());
    } else if (id == g_callsignToObjectIdButton.controlId) {
        g_listNamesRequested = true;
        enable(g_blockButton, false);
    } else if (id == g_blockButton.controlId) {
        lf_setBlockCallsign(CALLSIGN_2_OBJECTID.value.get());
        gf_requestAcListRefresh();
        enable(g_blockButton, false);
    } else if (id == g_reReadButton.controlId) {
        g_rereadRequested = true;
        enable(g_reReadButton, false);
        enable(DESTINATION, false);
    } else if (id == g_flushStaticButton.controlId) {
        note("All static parked aircraft will be removed ...");
        g_flushStaticRequested = true;
        enable(g_flushStaticButton, false);
    } else {
        return false;
    }
    return true;
}

bool lf_handleCheckBox(ControlId id) {
    for (const CheckBoxAction& box : kCheckBoxes) {
        if (box.setting->controlId != id) continue;
        // Not automatic: the program flips the mark.
        const platform::WindowHandle h = platform::getDlgItem(id);
        const bool now = !platform::getCheck(h);
        platform::setCheck(h, now);
        box.setting->value = now;
        gf_saveBoolParameter(*box.setting);
        (now ? box.on : box.off)();
        return true;
    }
    return false;
}

bool lf_handleComboBox(std::uintptr_t wParam) {
    if (const auto chosen = lf_getControlTextUtf8(CALLSIGN_2_OBJECTID.controlId, wParam)) {
        lf_onAircraftChosen(chosen->second);
        return true;
    }
    struct Combo {
        IntChoiceParameter* setting;
        bool stored;
    };
    for (const Combo c :
         {Combo{&MATCHING_DEPTH, true}, Combo{&MAX_PARK_SEL, true}, Combo{&parking_percentage, false},
          Combo{&RANGE, true}, Combo{&AIRP_RANGE, true}, Combo{&AR_ABOVE_HEIGHT, true}, Combo{&AIRP_HEIGHT, true}}) {
        const auto chosen = lf_getControlTextUtf8(c.setting->controlId, wParam);
        if (!chosen) continue;
        const std::int32_t value = lf_takeIntChoice(*c.setting, chosen->first, c.stored);
        if (c.setting == &MAX_PARK_SEL || c.setting == &parking_percentage) lf_showRespondCountdown();
        if (c.setting == &RANGE) {
            gf_setRangeSelection(value);
            g_apfParamsChanged = true;
        }
        return true;
    }
    if (const auto chosen = lf_getControlTextUtf8(MAX_FIT_FL.controlId, wParam)) {
        lf_onMaxFitChosen(chosen->first);
        return true;
    }
    if (const auto chosen = lf_getControlTextUtf8(MAX_LIVE_SEL.controlId, wParam)) {
        gf_requestMaxLive(lf_takeIntChoice(MAX_LIVE_SEL, chosen->first, true));
        return true;
    }
    return false;
}

bool lf_HandleWMCOMMAND(std::uintptr_t wParam) {
    try {
        if (lf_handleBlockButton(wParam) || lf_handleCheckBox(platform::lowWord(wParam)) || lf_handleComboBox(wParam)) {
            return true;
        }
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{} exception {}", "lf_HandleWMCOMMAND", e.what()));
    }
    repaint();
    return false;
}

void lf_showRespondCountdown() {
    if (!g_parkAirportLoaded.load()) return;
    g_apfParamsChanged = true;
    if (INITIAL_LOAD_ONLY.value.load()) {
        clear();
        return;
    }
    const std::int32_t t = g_secondTick.load();
    const std::int32_t s = 15 * (t / 15 + 1) - t;
    note(skh::format("{} will respond in {} second{} ...", PRODUCT_NAME, s, gf_plural32(s)));
    g_renewalRequested = true;
}

void lf_setBlockCallsign(const std::string& callsign) {
    BLOCK_CALLSIGN.value.set(callsign);
    gf_saveStringParameter(BLOCK_CALLSIGN);
    gf_showStringParameter(BLOCK_CALLSIGN);
    enable(g_unblockButton, true);
    g_blockRequested = true;
}

void lf_unblockCallsign() {
    const std::string blocked = BLOCK_CALLSIGN.value.get();
    if (blocked.empty()) return;
    BLOCK_CALLSIGN.value.set(std::string());
    gf_saveStringParameter(BLOCK_CALLSIGN);
    gf_showStringParameter(BLOCK_CALLSIGN);
    enable(g_unblockButton, false);
    note(skh::format("no more blocking of live aircraft '{}'", blocked), true);
    g_blockRequested = true;
}

void lf_handleCallsignEntered() {
    clear();
    std::string text;
    const bool whole = lf_editText(BLOCK_CALLSIGN.controlId, text);
    if (whole && text.empty()) {
        if (!BLOCK_CALLSIGN.value.empty()) lf_unblockCallsign();
        return;
    }
    if (whole && text.size() >= 4 && text.size() <= 8 && lf_plainCallsign(text)) {
        const std::string callsign = gf_upper(text);
        if (callsign == BLOCK_CALLSIGN.value.get()) {
            note(skh::format("callsign '{}' was already set ...", callsign), true);
            gf_showStringParameter(BLOCK_CALLSIGN);
            return;
        }
        if (callsign == CALLSIGN_2_OBJECTID.value.get()) gf_requestAcListRefresh();
        lf_setBlockCallsign(callsign);
        return;
    }
    note(skh::format("callsign '{}' is not valid", text), true);
    gf_showStringParameter(BLOCK_CALLSIGN);
}

void lf_handleDestinationEntered() {
    clear();
    std::string text;
    const bool whole = lf_editText(DESTINATION.controlId, text);
    if (whole && text.empty()) {
        DESTINATION.value.set(std::string());  // not saved
        enable(g_reReadButton, true);
        note("destination set to empty", true);
        return;
    }
    if (whole && text.size() == 4) {
        const std::string code = gf_upper(text);
        if (code == DESTINATION.value.get()) {
            note(skh::format("destination '{}' was already set ...", code), true);
        } else if (const Airport* airport = gf_findAirport(code)) {
            // The park airports are the main loop's: it sets the destination.
            gf_requestDestination(code, GeoPos{airport->lat, airport->lon});
            return;
        } else {
            note(skh::format("destination '{}' is unknown ...", code), true);
        }
    } else {
        note(skh::format("destination '{}' is not valid", text), true);
    }
    gf_showStringParameter(DESTINATION);
}

void lf_handleInstallPathEntered(const std::string& text) {
    gf_clearErrorMessage();
    if (text.empty()) {
        if (!SIM_INSTALL_PATH.value.empty()) gf_setStringParameter(SIM_INSTALL_PATH, std::string());
        return;
    }
    std::error_code ec;
    const fs::path local = platform::mapWindowsPath(text);
    const bool exists = fs::exists(local, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        note(skh::format("This install path cannot be read: {} ({})", text, ec.message()), true);
        return;
    }
    if (!exists) {
        note(skh::format("This install path does not exist: {}", text), true);
        return;
    }
    gf_setStringParameter(SIM_INSTALL_PATH, text);
    note(skh::format("Install path exists, {} will restart", PRODUCT_NAME), true);
    gf_requestNewSettings(kRestartDelayForInstallPath);
}

platform::EditProc lf_editSubclassProc(const StringUiParameter& binding) {
    const StringUiParameter* bound = &binding;
    return [bound](platform::WindowHandle, std::uint32_t message, std::uintptr_t wParam) {
        if (message != platform::kWmChar || wParam != platform::kEnterChar) return false;
        // A failing handler must not end the program: it is logged and the program goes on.
        try {
            clear();
            if (bound == &BLOCK_CALLSIGN) {
                lf_handleCallsignEntered();
            } else if (bound == &DESTINATION) {
                lf_handleDestinationEntered();
            } else if (bound == &ALL_INSTALL_PATH) {
                std::string text;
                if (lf_editText(bound->controlId, text)) {
                    lf_handleInstallPathEntered(text);
                } else {
                    note(skh::format("This install path does not exist: {}", text), true);
                }
            }
        } catch (const std::exception& e) {
            gf_logWarning(skh::format("{} exception {}", "lf_editSubclassProc", e.what()));
            repaint();
        }
        return true;
    };
}

}  // namespace skh
