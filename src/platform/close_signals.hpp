#pragma once
// The console's ways of closing the program: Ctrl-C, a polite kill and the
// terminal's hangup (SIGINT, SIGTERM, SIGHUP) ask it to close as the
// window's close button does. A second Ctrl-C or kill ends the process at
// once; further hangups do not (a closing terminal sends several: the shell
// passes its own on and the system sends one as the shell ends). A console
// that is gone (a closed pipe) makes writes to it fail instead of ending
// the process.
#include <functional>

namespace skh::platform {

// Hands the signals to `onClose`, which runs on a watcher thread.
void installCloseSignals(std::function<void()> onClose);
// Ends the watcher thread. A hangup from then on is ignored: the program is
// ending by its own close already.
void removeCloseSignals();

}  // namespace skh::platform
