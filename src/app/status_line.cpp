// The status and error lines of the main window, and the display of setting
// values in their controls.
#include "foundation/main_window_state.hpp"

#include <cstdio>

#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "foundation/win_interfaces.hpp"
#include "platform/window.hpp"

namespace skh {

namespace {

// The status line also goes to standard error, so a user starting the
// program from a console sees what it does; standard output stays free for
// what callers read there (the benchmarks' results).
void echo(const std::string& text) {
    if (text.empty()) return;
    std::fputs(text.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace

void gf_setStatusMessage(const std::string& text, bool log) {
    auto& s = g_mainWindowState;
    {
        const std::lock_guard lock(s.statusMutex);
        if (!s.g_errorText.empty()) return;
        s.g_statusText = text;
        s.g_statusStamp = text.empty() ? 0 : std::max(s.g_statusTick, 1);
        if (log && !text.empty()) gf_log(text);
        echo(text);
    }
    platform::invalidateMainWindow();
}

void gf_clearStatusMessage() { gf_setStatusMessage(std::string(), false); }

void gf_setErrorMessage(const std::string& text) {
    auto& s = g_mainWindowState;
    {
        const std::lock_guard lock(s.statusMutex);
        s.g_statusText.clear();
        s.g_statusStamp = 0;
        s.g_errorText = text;
        gf_log(skh::format("Error {}", text));
        echo(skh::format("Error {}", text));
    }
    platform::invalidateMainWindow();
}

void gf_clearErrorMessage() {
    {
        const std::lock_guard lock(g_mainWindowState.statusMutex);
        g_mainWindowState.g_errorText.clear();
    }
    gf_clearStatusMessage();
}

std::string gf_statusText() {
    const std::lock_guard lock(g_mainWindowState.statusMutex);
    return g_mainWindowState.g_statusText;
}

std::string gf_errorText() {
    const std::lock_guard lock(g_mainWindowState.statusMutex);
    return g_mainWindowState.g_errorText;
}

void gf_ageStatusMessage() {
    bool expired = false;
    {
        auto& s = g_mainWindowState;
        const std::lock_guard lock(s.statusMutex);
        ++s.g_statusTick;
        expired = s.g_statusStamp >= 1 && s.g_statusTick - s.g_statusStamp >= 25;
    }
    if (expired) gf_clearStatusMessage();
}

void gf_showIntParameter(const IntParameter& p, const UiControl& control) {
    const platform::WindowHandle h = platform::getDlgItem(control.controlId);
    if (h == 0) {
        gf_logRaw(skh::format("GetDlgItem failed for ID {}", control.controlId));
        return;
    }
    platform::setWindowText(h, gf_utf8ToUtf16(std::to_string(p.value.load())));
    platform::invalidateMainWindow();
}

void gf_showStringParameter(const StringParameter& p, const UiControl& control) {
    const platform::WindowHandle h = platform::getDlgItem(control.controlId);
    if (h == 0) {
        gf_logRaw(skh::format("GetDlgItem failed for ID {}", control.controlId));
        return;
    }
    platform::setWindowText(h, gf_utf8ToUtf16(p.value.get()));
    platform::invalidateMainWindow();
}

}  // namespace skh
