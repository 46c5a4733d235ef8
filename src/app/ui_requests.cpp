#include "app/ui_requests.hpp"

#include <atomic>
#include <mutex>
#include <utility>

namespace skh {

namespace {

std::mutex g_requestMutex;
UiRequests g_requests;                       // guarded by g_requestMutex
std::atomic<bool> g_requestsPending{false};  // a hint, set after the request is stored

template <class Change>
void lf_post(Change change) {
    {
        const std::lock_guard lock(g_requestMutex);
        change(g_requests);
    }
    g_requestsPending = true;
}

}  // namespace

void gf_requestNavLights(bool on) {
    lf_post([on](UiRequests& r) {
        r.navLights = true;
        r.navLightsOn = on;
    });
}

void gf_requestMaxLive(std::int32_t value) {
    lf_post([value](UiRequests& r) {
        r.maxLive = true;
        r.maxLiveValue = value;
    });
}

void gf_requestDestination(const std::string& code, GeoPos position) {
    lf_post([&](UiRequests& r) {
        r.destination = true;
        r.destinationCode = code;
        r.destinationPos = position;
    });
}

void gf_requestAcListRefresh() {
    lf_post([](UiRequests& r) { r.refreshAcList = true; });
}

void gf_requestAutoRange(bool on) {
    lf_post([on](UiRequests& r) {
        r.autoRange = true;
        r.autoRangeOn = on;
    });
}

UiRequests gf_takeUiRequests() {
    if (!g_requestsPending.exchange(false)) return {};
    const std::lock_guard lock(g_requestMutex);
    return std::exchange(g_requests, UiRequests{});
}

void gf_clearUiRequests() {
    const std::lock_guard lock(g_requestMutex);
    g_requests = UiRequests{};
    g_requestsPending = false;
}

}  // namespace skh
