#pragma once
// The main window: a fixed 880 x 476 panel with the settings controls, the
// status board and the status line; its procedure starts a start-up worker
// on WM_APP_START and saves its position and ends the program on
// WM_APP_QUIT. Other threads reach it only through the status and error
// lines, the display values, the controls and posted messages.
#include <cstdint>
#include <string>

#include "app/board_paint.hpp"
#include "app/commands.hpp"
#include "platform/window.hpp"

namespace skh {

inline constexpr std::uint32_t WM_APP_START = platform::kWmApp + 1;
inline constexpr std::uint32_t WM_APP_QUIT = platform::kWmApp + 2;

// The client area is the board's, which ends with the status line; the
// frame and title bar come on top of it.
inline constexpr int kMainWindowWidth = kStatusArea.right;
inline constexpr int kMainWindowHeight = kStatusArea.bottom;

// Creates the window, makes sure of the settings folder, starts the first
// start-up worker and runs the message loop; the loop's exit code (1 after a
// fatal error), or 1 when the window or the settings folder cannot be made.
int gf_runMainWindow();

// Creates and shows the main window at the stored position (after waiting
// for the display state).
bool initInstance(const std::string& title);

// Whether the main window is shown on a display, where the user can type
// into it; false while there is none or it runs without a display.
bool gf_mainWindowOnDisplay();

// The window procedure (UI thread).
std::intptr_t lf_wndProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// The 43 controls of the settings area, at their ids and places.
void lf_createControls();

// A stored window position at a bound of its range (a minimised window's) is
// replaced by the given one and saved.
void lf_storeWindowPosition(std::int32_t x, std::int32_t y);

// The start-up worker of the window, joined when the window ends.
void gf_joinStartupWorker();

}  // namespace skh
