#pragma once
// The main window as seen by the program: controls kept by control id with
// their state (check, text, combo items and selection, enabled). This store
// is the model of every backend: the headless one keeps only the data (tests,
// no display); a real window renders it and feeds user input back into it.
// Texts are UTF-16 at this boundary, like the window calls they stand for.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace skh::platform {

using ControlId = std::uint16_t;
using WindowHandle = std::uintptr_t;  // 0: no window

enum class ControlKind { CheckBox, PushButton, Edit, ComboBox, Label };

struct ControlState {
    ControlKind kind = ControlKind::Label;
    ControlId id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    bool enabled = true;
    bool checked = false;
    std::u16string text;
    std::vector<std::u16string> items;  // combo boxes
    int selection = -1;                 // combo boxes; -1: none
};

inline constexpr int kComboError = -1;

// Creates (or re-creates) the control with this id; returns its handle.
WindowHandle createControl(ControlKind kind, ControlId id, const std::u16string& text, int x, int y, int width,
                           int height);
// The handle of the control with this id, 0 when there is none.
WindowHandle getDlgItem(ControlId id);
// Removes every control (window closed; tests).
void destroyAllControls();

bool controlState(WindowHandle control, ControlState& out);
std::vector<ControlState> allControls();

void setCheck(WindowHandle control, bool checked);
bool getCheck(WindowHandle control);
bool setWindowText(WindowHandle control, const std::u16string& text);
std::u16string getWindowText(WindowHandle control);
void enableWindow(WindowHandle control, bool enabled);

// Combo boxes; the results follow the window messages they stand for
// (an index, or kComboError).
void comboResetContent(WindowHandle control);
int comboAddString(WindowHandle control, const std::u16string& text);
int comboSetCurSel(WindowHandle control, int index);   // -1 clears; a bad index clears and fails
int comboSelectString(WindowHandle control, int startAfter, const std::u16string& prefix);
int comboGetCurSel(WindowHandle control);

// Keeps the main window above other windows (or not), without moving it.
void setMainWindowTopmost(bool topmost);
bool mainWindowTopmost();

// Asks for a repaint of the main window; counted so tests can see it.
void invalidateMainWindow();
std::uint64_t invalidateCount();
// A backend that draws registers here to hear about repaints.
void setInvalidateHook(std::function<void()> hook);

}  // namespace skh::platform
