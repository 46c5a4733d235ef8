#pragma once
// Taking every live aircraft out of the simulator when the RealTraffic link
// is lost. The live-aircraft records belong to the traffic control, which
// installs the work here (removeAircraftFromSim for the active ones, taking
// queued creations back for the others); until then nothing is to remove.
#include <functional>

namespace skh {

using LiveRemovalHook = std::function<void()>;

// Installs the work (an empty hook removes it).
void gf_setLiveRemovalHook(LiveRemovalHook hook);
// Runs the installed work, if any.
void gf_removeAllLiveAircraft();

}  // namespace skh
