#include "app/run_state.hpp"

namespace skh {

std::jthread g_simClientJThread;

std::atomic<std::int32_t> g_secondTick{0};
bool g_flightPaused = false;
bool g_renewalPending = false;
GeoPos g_lastUserGroundPos;
std::uint32_t g_maxLiveAtStart = 0;
std::int32_t g_rangeAtStart = 0;
bool g_startupDone = false;
std::uint64_t g_queuedAtReaderStart = 0;

constinit std::atomic<bool> g_renewalRequested{false};
constinit std::atomic<bool> g_flushStaticRequested{false};
constinit std::atomic<bool> g_listNamesRequested{false};
constinit std::atomic<bool> g_blockRequested{false};
constinit std::atomic<bool> g_rereadRequested{false};

}  // namespace skh
