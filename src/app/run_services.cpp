#include "foundation/upcalls.hpp"

#include "foundation/format.hpp"

namespace skh {

// True from the start of the process until RealTraffic first connects.
constinit std::atomic<bool> g_runStarting{true};

void gf_showThreadStopped(const std::string& threadName, const std::string& errorText) {
    gf_setStatusMessage(skh::format("The {} has stopped with error: {}", threadName, errorText), true);
    gf_requestStop(AppState::ReaderError, 15);
}

}  // namespace skh
