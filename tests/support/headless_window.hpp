#pragma once
// The program's main window, headless, on a UI thread of its own as the
// program runs it: its controls are the program's, and input goes in as a
// user's would (a disabled control takes none). Each input returns once the
// UI thread has handled it.
#include <string>
#include <thread>

#include "platform/window.hpp"

namespace skh::test {

class HeadlessMainWindow {
public:
    HeadlessMainWindow();   // created and shown, or created() is false
    ~HeadlessMainWindow();  // the message loop ends and the window goes
    HeadlessMainWindow(const HeadlessMainWindow&) = delete;
    HeadlessMainWindow& operator=(const HeadlessMainWindow&) = delete;
    bool created() const { return m_created; }

private:
    std::thread m_ui;
    bool m_created = false;
};

// Waits until the UI thread has handled what was sent before.
void settle();
void click(platform::ControlId id);
void select(platform::ControlId id, int index);
void type(platform::ControlId id, const std::u16string& text);  // with the Enter key
platform::ControlState state(platform::ControlId id);

}  // namespace skh::test
