// The console's close signals in this process: the watcher thread hands
// them to the close; a hangup never ends the process at once.
#include "platform/close_signals.hpp"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>

namespace skh::platform {
namespace {

TEST(CloseSignalsThreaded, HangupsAskForTheCloseOnceUnlessStartedToIgnoreThem) {
    std::atomic<int> closes{0};
    // Started under nohup: the hangups stay the terminal's.
    signal(SIGHUP, SIG_IGN);
    installCloseSignals([&] { ++closes; });
    raise(SIGHUP);
    removeCloseSignals();  // the watcher has handled every signal before it ends
    EXPECT_EQ(closes.load(), 0);

    // A closing terminal sends more than one: the first asks for the close,
    // the others change nothing (the process is still here).
    signal(SIGHUP, SIG_DFL);
    installCloseSignals([&] { ++closes; });
    raise(SIGHUP);
    raise(SIGHUP);
    raise(SIGHUP);
    removeCloseSignals();
    EXPECT_EQ(closes.load(), 1);
    signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace skh::platform
