#include "support/headless_window.hpp"

#include <future>

#include "app/main_window.hpp"

namespace skh::test {

HeadlessMainWindow::HeadlessMainWindow() {
    std::promise<bool> created;
    auto done = created.get_future();
    m_ui = std::thread([&created] {
        const bool ok = platform::createMainWindow(platform::WindowBackend::Headless, u"Skyhaven_P3D", 400, 20,
                                                   kMainWindowWidth, kMainWindowHeight, &lf_wndProc) &&
                        platform::showMainWindow();
        created.set_value(ok);
        if (!ok) return;
        platform::runMessageLoop();
        platform::destroyMainWindow();
    });
    m_created = done.get();
}

HeadlessMainWindow::~HeadlessMainWindow() {
    platform::postQuitMessage(0);
    if (m_ui.joinable()) m_ui.join();
}

void settle() { platform::mainWindowRect(); }

void click(platform::ControlId id) {
    platform::clickControl(id);
    settle();
}

void select(platform::ControlId id, int index) {
    platform::selectComboItem(id, index);
    settle();
}

void type(platform::ControlId id, const std::u16string& text) {
    platform::typeIntoEdit(id, text, true);
    settle();
}

platform::ControlState state(platform::ControlId id) {
    platform::ControlState s;
    platform::controlState(platform::getDlgItem(id), s);
    return s;
}

}  // namespace skh::test
