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
    std::uint64_t version = 0;  // changes with every change of the control
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
// Grows with every change of any control (a backend that renders the
// controls redraws what changed).
std::uint64_t controlsVersion();

void setCheck(WindowHandle control, bool checked);
bool getCheck(WindowHandle control);
bool setWindowText(WindowHandle control, const std::u16string& text);
std::u16string getWindowText(WindowHandle control);
void enableWindow(WindowHandle control, bool enabled);
bool isWindowEnabled(WindowHandle control);

// Combo boxes; the results follow the window messages they stand for
// (an index, or kComboError).
void comboResetContent(WindowHandle control);
int comboAddString(WindowHandle control, const std::u16string& text);
int comboSetCurSel(WindowHandle control, int index);  // -1 clears; a bad index clears and fails
int comboSelectString(WindowHandle control, int startAfter, const std::u16string& prefix);
int comboGetCurSel(WindowHandle control);
// The whole text of an entry, however long (the length is asked first, as
// with CB_GETLBTEXTLEN); false for a bad index.
bool comboGetLbText(WindowHandle control, int index, std::u16string& out);

// Keeps the main window above other windows (or not), without moving it.
void setMainWindowTopmost(bool topmost);
bool mainWindowTopmost();

// Asks for a repaint of the main window; counted so tests can see it.
void invalidateMainWindow();
std::uint64_t invalidateCount();
// A backend that draws registers here to hear about repaints.
void setInvalidateHook(std::function<void()> hook);

// ---- The main window -----------------------------------------------------------
// One window per process, run by one of two backends: a headless one (the
// window as data: its paint recorded as a display list, user input through
// the test hooks below) and a real window on FLTK under X11. The thread that
// creates the window and runs its message loop is the UI thread: the window
// procedure, the edit procedures and the painting run on it.

// The messages of the main window (the numbers of the window messages they
// stand for) and the notifications of WM_COMMAND.
inline constexpr std::uint32_t kWmCreate = 0x0001;
inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmPaint = 0x000F;
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmChar = 0x0102;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::uint32_t kWmApp = 0x8000;
inline constexpr std::uint16_t kBnClicked = 0;
inline constexpr std::uint16_t kCbnSelChange = 1;
inline constexpr std::uintptr_t kEnterChar = 13;

inline constexpr std::uintptr_t makeWParam(std::uint16_t low, std::uint16_t high) {
    return static_cast<std::uintptr_t>(low) | (static_cast<std::uintptr_t>(high) << 16);
}
inline constexpr std::uint16_t lowWord(std::uintptr_t w) { return static_cast<std::uint16_t>(w & 0xFFFF); }
inline constexpr std::uint16_t highWord(std::uintptr_t w) { return static_cast<std::uint16_t>((w >> 16) & 0xFFFF); }

using ColorRef = std::uint32_t;  // 0x00BBGGRR

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};

// What the window procedure draws on WM_PAINT; lParam points to it.
class PaintSurface {
public:
    virtual ~PaintSurface() = default;
    virtual void fillRect(const Rect& r, ColorRef colour) = 0;
    virtual void line(int x1, int y1, int x2, int y2, ColorRef colour) = 0;
    virtual void text(int x, int y, const std::u16string& text, ColorRef colour) = 0;
};

// One drawing call of a paint, as the headless backend records it.
struct PaintOp {
    enum class Kind { Fill, Line, Text };
    Kind kind = Kind::Fill;
    Rect rect;  // a line's ends are (left, top) and (right, bottom); a text's place is (left, top)
    ColorRef colour = 0;
    std::u16string text;
};

// A surface that records the drawing calls as a display list.
class RecordingSurface final : public PaintSurface {
public:
    void fillRect(const Rect& r, ColorRef colour) override { ops.push_back({PaintOp::Kind::Fill, r, colour, {}}); }
    void line(int x1, int y1, int x2, int y2, ColorRef colour) override {
        ops.push_back({PaintOp::Kind::Line, Rect{x1, y1, x2, y2}, colour, {}});
    }
    void text(int x, int y, const std::u16string& text, ColorRef colour) override {
        ops.push_back({PaintOp::Kind::Text, Rect{x, y, x, y}, colour, text});
    }
    std::vector<PaintOp> ops;
};

// The window procedure: message, wParam, lParam -> result.
using WindowProc = std::function<std::intptr_t(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)>;
// The procedure an edit box is subclassed with: true when it handled the
// message (the Enter key).
using EditProc = std::function<bool(WindowHandle control, std::uint32_t message, std::uintptr_t wParam)>;

enum class WindowBackend { Headless, Fltk };
// FLTK when DISPLAY is set and SKYHAVEN_HEADLESS is not, else headless.
WindowBackend chooseWindowBackend();

// Creates the main window at (x, y) with a client area of width x height
// (a frame that the display adds comes on top): WM_CREATE reaches the
// procedure on this thread, which becomes the UI thread. False when a window
// exists already or the backend cannot open it (no display).
bool createMainWindow(WindowBackend backend, const std::u16string& title, int x, int y, int width, int height,
                      WindowProc proc);
bool showMainWindow();
bool mainWindowExists();
// Whether the display the window was on has gone (its X server ended): the
// window then closes as after its close button, and shows nothing more.
bool mainWindowDisplayLost();
// Closes the window and forgets its controls and posted messages.
void destroyMainWindow();
// The window's place and size on the screen.
Rect mainWindowRect();
// Queues a message for the window procedure (any thread); false without a window.
bool postMessage(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
// Ends the message loop with the exit code once the queue before it is done.
void postQuitMessage(int exitCode);
// Dispatches messages, input and paints until the quit message; returns its
// exit code. On the UI thread.
int runMessageLoop();
// Subclasses an edit box: its Enter key goes to the procedure.
void setEditProc(WindowHandle control, EditProc proc);

// What the display shows of the window: mapped and its size (FLTK: the X
// window's attributes; headless: as created and shown). Any thread.
struct WindowGeometry {
    bool mapped = false;
    int width = 0;
    int height = 0;
};
WindowGeometry mainWindowGeometry();

// User input as the window would deliver it (any thread): a click on a check
// box or push button, a choice in a drop-down list, text typed into an edit
// box (with the Enter key when asked), and the window's close button.
void clickControl(ControlId id);
void selectComboItem(ControlId id, int index);
void typeIntoEdit(ControlId id, const std::u16string& text, bool enter);
void requestClose();
// A click of the left mouse button at a point of the window's client area,
// as the display delivers it: the FLTK window gets real X events; headless,
// the enabled control under the point gets its click.
void clickAt(int x, int y);

// The pixels of the window as the display shows them (FLTK only; false
// headless or when the window is not mapped). RGB, 3 bytes a pixel, rows
// top down.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    std::uint32_t pixel(int x, int y) const;  // 0x00RRGGBB
};
bool captureMainWindow(Image& out);
// Writes the image as a PNG file (through a temporary file); false on failure.
bool savePng(const std::string& path, const Image& image);

// The display list of the last paint (headless backend), and a wait for a
// paint after the given count of paints.
std::vector<PaintOp> lastPaint();
std::uint64_t paintCount();

}  // namespace skh::platform
