#pragma once
// Ctrl-C and a polite kill (SIGINT, SIGTERM) are the console's close button:
// the first one asks the program to close as the window's close button does;
// a second one ends the process at once.
#include <functional>

namespace skh::platform {

// Hands the two signals to `onClose`, which runs on a watcher thread.
void installCloseSignals(std::function<void()> onClose);
// Ends the watcher thread.
void removeCloseSignals();

}  // namespace skh::platform
