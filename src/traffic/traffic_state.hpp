#pragma once
// The containers of the traffic control, reserved once per process and
// emptied before each in-process restart, with the look-ups of aircraft by
// act number and object id. Everything here belongs to the main loop's
// thread; nothing is shared with another thread except through the SimPort
// and the traffic queue.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/time_text.hpp"
#include "simclient/sim_requests.hpp"
#include "simclient/user_aircraft.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

// A created object waiting 200 polls before it becomes active.
struct CreatedObject {
    std::uint32_t objectId = 0;
    std::uint32_t actNumber = 0;
    std::int32_t counter = 0;  // polls since adoption; -1 when done
    std::uint32_t kind = 0;    // 0 live, 1 static
};

// An aircraft whose stand option was learned, with the weekday and slot of
// that (as g_weekSlot); one learning per stay.
struct ActSlot {
    std::uint32_t actNumber = 0;
    std::uint64_t weekSlot = 0;
};

inline constexpr std::size_t kLiveRoom = 512;
inline constexpr std::size_t kStaticRoom = 256;

// Records are erased only by the compaction after the per-poll update, by a
// removal or failed creation that the simulator reports, and by the reset;
// every other code only marks them (dropUnsent, dropQueued).
extern std::vector<LiveAc> g_liveAc;
extern std::vector<StaticAc> g_staticAc;

extern std::vector<CreatedObject> g_createdObjects;
// Act numbers of live aircraft ready for their creation request; last in, first out.
extern std::vector<std::uint32_t> addingStack;
// Callsigns of removed ghosts: no later aircraft with one of them is created.
extern std::vector<std::string> g_removedGhosts;
// Creation requests waiting for their hand-over (one every 50 polls, live first).
extern std::deque<AddRequest> g_liveCreateQueue;
extern std::deque<AddRequest> g_staticCreateQueue;
// Object ids waiting for their hand-over (one every 10 polls).
extern std::deque<std::uint32_t> removalQueue;
// Aircraft for which the per-second work searches the coupled callsign once.
extern std::vector<std::uint32_t> g_coupledSearchActs;
extern std::vector<ActSlot> g_actSlots;

// The title matched for an act number, so that a re-created aircraft keeps
// its livery. The views point into the livery index, which stands until a
// rescan; a rescan happens only after the reset that empties this map.
extern std::unordered_map<std::uint32_t, std::string_view> g_liveryCache;

// Set by the landing code near the ground: aircraft within range are asked
// for five times as often.
extern bool g_landingWatch;
// The user aircraft as last fetched (every 100 polls).
extern UserAcState g_userAc;
// g_weekSlot, the weekday and half-hour of the run, is the foundation's
// (time_text.hpp), which the main loop refreshes.

// Reserves the room above, once per process; also installs the removal of
// the live aircraft when the RealTraffic link is lost.
void gf_reserveTrafficContainers();
// Empties every container and queue of the traffic control before an
// in-process restart, sets the QNH back to 1013 and clears the landing watch.
void gf_resetTraffic();

// Look-ups by act number (live or static) and by object id; null when none.
// Through an index, so they cost the same for 512 aircraft as for one.
LiveAc* gf_findLiveByAct(std::uint32_t actNumber);
LiveAc* gf_findLiveByObjectId(std::uint32_t objectId);
StaticAc* gf_findStaticByAct(std::uint32_t actNumber);
StaticAc* gf_findStaticByObjectId(std::uint32_t objectId);

// Every change of the live vector's layout or of an object id goes through
// these, so the index follows.
void lf_setObjectId(StaticAc& ac, std::uint32_t objectId);
LiveAc& lf_appendLiveAc(LiveAc&& ac);
// Erases the live record: the last one takes its place. A live record that
// goes frees the stand mark it holds (here and in the compaction).
void lf_eraseLiveAc(LiveAc& ac);
void lf_eraseStaticAc(StaticAc& ac);
// Erases the records marked dropUnsent or dropQueued, keeping the order of
// the others; returns how many went.
std::size_t lf_compactLiveAc();
std::size_t lf_compactStaticAc();
// The index is rebuilt at its next use (after a direct change of the vector).
void lf_liveIndexChanged();

}  // namespace skh
