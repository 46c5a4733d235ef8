#pragma once
// The one way from the traffic control to the simulator: the queues that
// the SimClient thread drains on each Frame, the SimConnect calls the main
// loop makes itself (each under simQueueMutex), the position buffers and
// what the simulator side knows of the user aircraft. The SimClient's queues
// implement it in the program; tests put a recording fake in its place.
//
// Beside it, the other things the traffic control asks of its surroundings:
// the clock, the random draw, the livery matching, the aircraft database and
// RealTraffic, each replaceable for tests.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "aircraft/dbase.hpp"
#include "simclient/sim_requests.hpp"
#include "simclient/user_aircraft.hpp"

namespace skh {

struct FlightIdent;

class SimPort {
public:
    virtual ~SimPort() = default;

    // Queued for the next Frame.
    virtual void queueEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) = 0;
    // NAV, BEACON, LANDING, TAXI, STROBES, LOGO, CABIN in this order.
    virtual void queueLights(std::uint32_t objectId, const std::array<std::uint32_t, 7>& values) = 0;
    virtual void queueCreate(const AddRequest& request) = 0;
    virtual void queueRemove(std::uint32_t objectId) = 0;

    // Direct calls; false when the call failed. Nothing is asked after a
    // failed request (requestFailed), and such a call counts as done.
    virtual bool requestWithinRange(std::uint32_t radiusMetres) = 0;
    virtual bool requestStaticCg(std::uint32_t objectId) = 0;
    virtual bool toggleAllLights(std::uint32_t objectId) = 0;
    // The AI control block: spoilers handle, throttle levers 1 and 2, percent.
    virtual bool setControlBlock(std::uint32_t objectId, const std::array<double, 3>& values) = 0;
    virtual bool setFlightPlan(std::uint32_t objectId, const std::string& path) = 0;
    virtual bool requestFailed() const = 0;
    // After a failed call: the status line and the stop of the run.
    virtual void requestError() = 0;

    // The positions of this poll go into the back buffer; the swap hands
    // them to the simulator side (or drops them, see gf_swapPositionBuffers).
    virtual std::vector<PositionUpdate>& positionBack() = 0;
    virtual bool swapPositions() = 0;

    // Asks for new user data and returns the last received.
    virtual UserAcState requestUserPosition() = 0;
    virtual bool userOnGround() const = 0;
};

// The port in use: the SimClient's unless a test has set another.
SimPort& gf_simPort();
// Sets the port (null: the SimClient's again).
void gf_setSimPort(SimPort* port);

// The other services, each with the program's behaviour by default.
struct TrafficServices {
    std::function<std::int64_t()> steadyMs;                    // the clock of the parking stamps
    std::function<std::int64_t()> steadyUs;                    // the clock of the intake's time per poll
    std::function<std::uint64_t(std::int64_t n)> randomBelow;  // 0 .. n-1; RANDOM off gives 0
    // Sets the title (and cargo and FSLTL marks) of a live aircraft; leaves
    // it empty when no livery fits.
    std::function<void(FlightIdent&)> matchLiveryForSpawn;
    // Sets the title of a static aircraft for its stand (cargo mark, name for
    // the log); false when no livery fits.
    std::function<bool(FlightIdent&, bool standCargo, std::string_view standName)> matchStaticLivery;
    // Counts a title that the simulator refused to create.
    std::function<void(const FlightIdent&)> reportUncreatable;
    std::function<std::optional<DbaseRecord>(std::string_view registration)> findRegistration;
    std::function<bool(std::string_view type)> isKnownType;
    std::function<void()> sendUserPosition;  // to RealTraffic
};

TrafficServices& gf_trafficServices();
// Puts the program's services back (tests).
void gf_resetTrafficServices();

}  // namespace skh
