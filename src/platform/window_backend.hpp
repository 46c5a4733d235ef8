#pragma once
// Inside the main window: what a backend does for the message loop. Only the
// window's own sources include this.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.hpp"

namespace skh::platform::detail {

class Backend {
public:
    virtual ~Backend() = default;
    // Opens the window with the controls of the store (after WM_CREATE).
    virtual bool open(const std::u16string& title, int x, int y, int width, int height) = 0;
    virtual bool show() = 0;
    virtual void close() = 0;
    // Handles the display's events, waiting at most `limit` (UI thread).
    virtual void waitForEvents(std::chrono::milliseconds limit) = 0;
    // Ends a waitForEvents early (any thread).
    virtual void wake() = 0;
    // Whether the backend has events of its own to wait for.
    virtual bool hasEvents() const = 0;
    // Paints the window now (headless) or asks the display to (UI thread).
    virtual void repaint() = 0;
    // Brings the rendered controls up to the store (UI thread).
    virtual void syncControls() = 0;
    virtual WindowGeometry geometry() = 0;  // UI thread
    virtual Rect rect() = 0;                // UI thread
    virtual void setTopmost(bool topmost) = 0;
    // The close button, as the display delivers it (UI thread).
    virtual void pressCloseButton() = 0;
    // A left click at a point of the client area, as the display delivers it (UI thread).
    virtual void clickAt(int x, int y) = 0;
    // The window's pixels as shown (UI thread); false when there are none.
    virtual bool capture(Image& out) = 0;
    // The display has gone (any thread).
    virtual bool displayLost() const { return false; }
};

std::unique_ptr<Backend> makeHeadlessBackend();
// Null when no display can be opened.
std::unique_ptr<Backend> makeFltkBackend();

// Runs the window procedure's paint on a surface (UI thread).
void paintOn(PaintSurface& surface);
// Runs the paint into a display list, which becomes lastPaint() (UI thread).
std::vector<PaintOp> recordPaint();
// The click of a control under a point (headless input).
void clickControlAt(int x, int y);
// Queues a message from the display's input (UI thread).
void postFromDisplay(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, WindowHandle target);

std::string toUtf8(const std::u16string& text);

}  // namespace skh::platform::detail
