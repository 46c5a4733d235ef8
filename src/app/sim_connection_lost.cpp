#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"

namespace skh {

void gf_simNoLongerConnected() {
    if (g_stopRequested.load()) return;
    // Logged before the stop is set: the log is silent while a stop is under way.
    gf_log(skh::format("{} Flight Simulator no longer connected, {} will stop ...", gf_utcTimeOfDay(), PRODUCT_NAME));
    gf_requestStop(AppState::SimWasClosed, 0);
}

}  // namespace skh
