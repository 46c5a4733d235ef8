#pragma once
// The commands of the main window's settings area (UI thread): check boxes,
// combo boxes, push buttons and the Enter key of the three edit boxes. A
// changed setting is saved at once; what the main loop owns is asked of it
// through the request flags (run_state.hpp) and the UI requests
// (ui_requests.hpp); a few settings restart the run.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/window.hpp"

namespace skh {

struct StringUiParameter;

// A new choice in the aircraft list (the chosen aircraft changed).
extern std::atomic<bool> g_aircraftListChanged;
// SCAN_LIVERIES switched on before RealTraffic connected: the start-up
// empties the livery index before its next scan (the window never touches
// the index, which the start-up worker may be building).
extern std::atomic<bool> g_liveryIndexClearRequested;

// WM_COMMAND of the main window: true when a control's command was handled.
// Never throws: a failing command is logged and the settings repainted.
bool lf_HandleWMCOMMAND(std::uintptr_t wParam);
bool lf_handleBlockButton(std::uintptr_t wParam);
bool lf_handleCheckBox(platform::ControlId id);
bool lf_handleComboBox(std::uintptr_t wParam);

// The procedure an edit box is subclassed with: Enter goes to the handler of
// the bound setting (BLOCK_CALLSIGN, ALL_INSTALL_PATH, DESTINATION).
platform::EditProc lf_editSubclassProc(const StringUiParameter& binding);

void lf_handleCallsignEntered();
void lf_handleDestinationEntered();
// A path that exists becomes SIM_INSTALL_PATH and restarts the program; one
// that cannot be examined says so.
void lf_handleInstallPathEntered(const std::string& text);

void lf_setBlockCallsign(const std::string& callsign);
void lf_unblockCallsign();

// After a parking setting changed while the park airport is loaded: the
// renewal at the next 15-second mark, and when it will respond.
void lf_showRespondCountdown();

// The selection of a combo box when wParam is its CBN_SELCHANGE: the index
// and the entry's whole text.
std::optional<std::pair<int, std::string>> lf_getControlTextUtf8(platform::ControlId id, std::uintptr_t wParam);

}  // namespace skh
