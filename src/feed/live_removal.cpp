#include "feed/live_removal.hpp"

#include <mutex>

namespace skh {

namespace {
std::mutex g_hookMutex;
LiveRemovalHook g_hook;
}  // namespace

void gf_setLiveRemovalHook(LiveRemovalHook hook) {
    const std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

void gf_removeAllLiveAircraft() {
    LiveRemovalHook hook;
    {
        const std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) hook();
}

}  // namespace skh
