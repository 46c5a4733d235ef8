#include "platform/close_signals.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace skh::platform {

namespace {

constexpr char kSignalled = 's';
constexpr char kStop = 'q';

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_asked = 0;
std::thread g_watcher;
std::function<void()> g_onClose;  // set before the watcher starts

// Only async-signal-safe calls: the watcher thread does the work.
extern "C" void onSignal(int sig) {
    if (g_asked != 0) {
        if (sig == SIGHUP) return;
        _exit(128 + sig);
    }
    g_asked = 1;
    const char c = kSignalled;
    (void)!::write(g_pipe[1], &c, 1);
}

void watch() {
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(g_pipe[0], &c, 1);
        if (n < 0) continue;
        if (n == 0 || c == kStop) return;
        if (g_onClose) g_onClose();
    }
}

}  // namespace

void installCloseSignals(std::function<void()> onClose) {
    if (g_watcher.joinable() || ::pipe(g_pipe) != 0) return;
    g_onClose = std::move(onClose);
    g_asked = 0;
    g_watcher = std::thread(watch);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // Started to outlive its terminal (nohup): a hangup stays ignored.
    struct sigaction hangup {};
    if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN) sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

void removeCloseSignals() {
    if (!g_watcher.joinable()) return;
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    signal(SIGHUP, SIG_IGN);
    const char c = kStop;
    (void)!::write(g_pipe[1], &c, 1);
    g_watcher.join();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace skh::platform
