#include "simclient/sim_state.hpp"

#include <cmath>

namespace skh {

std::mutex simQueueMutex;
constinit std::atomic<HANDLE> simConnectHandle{nullptr};
constinit std::atomic<bool> simRunning{false};
constinit std::atomic<int> g_simUserError{0};
constinit std::atomic<std::uint32_t> userObjectId{2};
UserAcState g_userAcState;
constinit std::atomic<bool> userOnGround{false};
constinit std::atomic<bool> userOnGroundKnown{false};
constinit std::atomic<bool> g_userDataReady{false};
SharedText userTitle;
constinit std::atomic<double> userWingspan{0.0};
constinit std::atomic<bool> userWingspanKnown{false};
constinit std::atomic<std::int32_t> userCategory{0};
constinit std::atomic<std::int64_t> simEpochSeconds{0};
constinit std::atomic<float> simFrameRate{0.0f};
constinit std::atomic<bool> g_userStandCheckWanted{false};
constinit std::atomic<bool> g_parkStandUpdateWanted{false};

UserAcState gf_userAcState() {
    const std::lock_guard lock(simQueueMutex);
    return g_userAcState;
}

bool gf_simUserErrorShown() { return g_simUserError.load() != 0; }

bool gf_userPositionKnown(double latitude, double longitude) {
    return std::fabs(latitude) > 0.0001 || std::fabs(longitude) > 0.0001;
}

}  // namespace skh
