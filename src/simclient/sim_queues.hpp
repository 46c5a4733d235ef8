#pragma once
// The queues between the main loop and the SimClient thread. The main loop
// fills them under simQueueMutex; on every simulator Frame the SimClient
// thread drains them, sending creations, client events, removals and
// positions, without ever waiting for the main loop.
#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "simclient/sim_requests.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"

namespace skh {

struct ClientEventRequest {
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;  // 207 to 223
    std::uint32_t value = 0;
};

// One creation call as sent; lets the answers be matched to the aircraft:
// the new object by its ATC id (the callsign as sent), a refused creation by
// the send id.
struct SentPacket {
    std::uint32_t sendId = 0;
    std::uint32_t actNumber = 0;
    std::string callsign;       // the tail number as sent, in UTF-8
    std::int64_t sentAtMs = 0;  // gf_steadyMs(): the oldest goes first when the list is full
};

// Creations waiting for their object; beyond this the oldest is given up
// (reported as a createFailed event marked kCreateGivenUp).
inline constexpr std::size_t kMaxSentPackets = 256;

// Milliseconds of the steady clock: the time base of SentPacket::sentAtMs.
std::int64_t gf_steadyMs();

// The main loop fills `back` (it alone touches it) and swaps; the Frame
// drain writes and empties `front` under simQueueMutex.
struct PositionBuffers {
    std::vector<PositionUpdate> back;
    std::vector<PositionUpdate> front;
};

// Guarded by simQueueMutex.
extern std::vector<AddRequest> simCreateQueue;
extern std::vector<ClientEventRequest> clientEventQueue;
extern std::vector<std::uint32_t> simRemoveQueue;
extern PositionBuffers positionBuffers;

// Used on the SimClient thread only (and by gf_initQueues before it starts).
extern std::vector<SentPacket> sentPackets;
extern std::vector<std::uint32_t> newObjectIds;

extern std::atomic<bool> simRequestFailed;
extern std::atomic<std::uint32_t> simMajorVersion;

// The longest tail number the creation call takes, and the first title
// length it refuses.
inline constexpr std::size_t kMaxTailNumberBytes = 11;
inline constexpr std::size_t kMaxTitleBytes = 255;

// Before the SimClient thread starts: stores the version, reserves room for
// 256 entries (growing only), clears simRequestFailed.
void gf_initQueues(std::uint32_t simulatorMajorVersion);
// Empties every queue and clears simRequestFailed (the reset before a new run).
void gf_clearQueues();

void gf_queueCreate(const AddRequest& request);
void gf_queueEvent(const ClientEventRequest& request);
// Seven light events for the object, in the order NAV, BEACON, LANDING, TAXI,
// STROBES, LOGO, CABIN with values[0] to values[6].
void gf_queueLights(std::uint32_t objectId, const std::uint32_t values[7]);
void gf_queueCabinLights(std::uint32_t objectId, std::uint32_t value);
// Queues one object for removal (the main loop hands one over every 10 polls).
void gf_queueRemove(std::uint32_t objectId);

// Removes every request with this callsign (byte for byte) from one of the
// traffic control's waiting deques; the caller holds what guards it. An empty
// callsign removes nothing. True when something was removed.
bool gf_removeQueuedCreate(std::deque<AddRequest>& requests, const std::string& callsign);

// The swap of the main loop's positions into the front buffer, trying
// simQueueMutex: when it is busy and the frame rate is at most 50 this
// poll's positions are dropped, above 50 the swap waits. Afterwards the back
// buffer is empty (positions the drain had not yet sent are superseded).
// True when swapped.
bool gf_swapPositionBuffers();

// Asks once for the user aircraft's data (request 109) unless a request has
// failed or a user error shows, and returns the last data received; under
// simQueueMutex.
UserAcState gf_requestUserPosition();
// Asks once for the user aircraft's title (106) and ATC model (107); nothing
// while a user error shows.
void gf_requestUserTitleModel();

// After a failed request: status line, simRequestFailed, and unless a stop
// is under way SIMCONNECT ERROR with a restart in 9 s. Nothing while a user
// error of the SimClient thread shows (gf_simUserErrorShown).
void gf_requestError();

// The Frame drain; on the SimClient thread.
void lf_drainQueues();

// The tail number as sent for a callsign: Windows-1252, at most 11 bytes.
std::string gf_tailNumberOf(const std::string& callsign);

}  // namespace skh
