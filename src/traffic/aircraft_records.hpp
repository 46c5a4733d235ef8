#pragma once
// The aircraft records of the traffic control: a parked static aircraft
// (StaticAc) and a live aircraft that follows received positions (LiveAc),
// each beginning with the complete record before it, so code written for the
// head works on the longer one; their movement state and simulator status
// with the names the log shows; the client event levels of throttle and
// flaps. All records live on the main loop's thread only.
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>

#include "aircraft/flight_ident.hpp"
#include "feed/traffic_sample.hpp"
#include "simclient/sim_requests.hpp"

namespace skh {

// Movement state.
enum class AcState : std::uint32_t {
    pushing_back = 0,  // push-back under way
    pushed_back = 1,   // push-back done, about to taxi
    taxi = 2,          // on the ground, following samples
    take_off = 3,      // take-off roll and rotation
    flying = 4,        // airborne
    parking = 5,       // driving to an assigned stand
    parked = 6,        // standing at a stand
    birth = 7,         // created, not yet placed
};

// Simulator status.
enum class AcStatus : std::uint32_t {
    buffer = 0,           // held by the program, not yet asked for in the simulator
    adding2sim = 1,       // creation requested, object not yet adopted
    active = 2,           // exists in the simulator and is moved by the program
    liveryrespawn = 3,    // removed so that it is created again with another livery
    removingfromsim = 4,  // removal requested
};

// "pushing_back" .. "birth" and "buffer" .. "removingfromsim"; a value
// outside the table throws std::out_of_range.
std::string gf_moveStateName(AcState state);
std::string gf_statusName(AcStatus status);

// Client event values of THROTTLE_SET and FLAPS_SET by index (0..4); a
// throttle index of 5 means that nothing was sent yet.
inline constexpr std::array<std::uint32_t, 5> kThrottleLevels{0, 4914, 8191, 11468, 16383};
inline constexpr std::array<std::uint32_t, 5> kFlapsLevels{0, 3072, 10240, 16383, 0};
inline constexpr std::uint32_t kThrottleNotSent = 5;
inline constexpr std::uint32_t kFlapsAtConstruction = 4;

// Live aircraft carry the feed's address, static ones a counter up to this.
inline constexpr std::uint32_t kMaxStaticActNumber = 10000;
inline bool gf_isLiveAct(std::uint32_t actNumber) { return actNumber > kMaxStaticActNumber; }

struct StaticAc : FlightIdent {
    std::uint32_t objectId = 0;     // 0 while not in the simulator
    double standLat = 0.0;          // degrees
    double standLon = 0.0;          // degrees
    double standHeading = 0.0;      // radians
    std::uint64_t parkedSince = 0;  // weekday (low half) and half-hour slot (high half) of coming to rest
    std::uint32_t standId = 0;
    AcStatus status = AcStatus::buffer;
    std::uint32_t throttleIndex = kThrottleNotSent;
    std::uint32_t flapsIndex = kFlapsAtConstruction;
    std::uint8_t standCargo = 0;
    std::uint8_t removeWhenCreated = 0;  // remove as soon as the simulator reports it created
    std::uint8_t dropUnsent = 0;         // drop the record: it never reached the simulator, or must not
    std::uint8_t dropQueued = 0;         // drop the record: its queued creation request was withdrawn
    std::uint8_t awaitingAdoption = 0;   // its creation was handed over and its object not yet adopted
    std::int32_t adoptionDue = 0;        // due tick after which the creation is given up

    StaticAc() = default;
    StaticAc(FlightIdent&& ident, double lat, double lon, double heading, std::uint32_t stand, std::uint8_t cargo);
};

// The quadratic curve of a ground turn: origin, parameter range, end point
// and control point in metres from the origin; active while the control
// point is a number.
struct GroundCurve {
    double originLat = 0.0;  // degrees
    double originLon = 0.0;  // degrees
    double tStart = 0.0;
    double endNorth = 0.0;  // metres
    double endEast = 0.0;   // metres
    double tEnd = 1.0;
    double controlEast = std::numeric_limits<double>::quiet_NaN();  // metres
    double controlNorth = std::numeric_limits<double>::quiet_NaN();
    bool active() const { return !std::isnan(controlEast); }
    void clear() { *this = GroundCurve{}; }
};

struct LiveAc : StaticAc {
    // Written to the simulator every frame.
    AiPositionBlock pos;
    // Oldest first; the front sample is the one the aircraft moves towards or stands on.
    std::deque<PosSample> stream;
    double lastTimestamp = 0.0;  // feed time of the newest accepted sample, seconds

    AcState moveState = AcState::birth;
    AcState prevMoveState = AcState::birth;

    std::uint8_t reportedWhileParked = 0;  // a sample arrived while the aircraft stands at its stand
    std::uint8_t onGround = 0;             // put on a stand or reported on the ground; cleared when it climbs away
    std::uint8_t flightPlanSent = 0;       // a plan file was written and sent for this object
    std::uint8_t heldNearUser = 0;         // held back near the user aircraft before creation

    // Steps that the per-poll integrator adds.
    double latStep = 0.0;              // degrees per poll
    double lonStep = 0.0;              // degrees per poll
    double altStep = 0.0;              // feet per poll
    double pitchStep = 0.0;            // radians per poll
    double bankStep = 0.0;             // radians per poll
    double headingStep = 0.0;          // radians per poll
    double targetVerticalSpeed = 0.0;  // ft/min of the current target
    double targetAirspeed = 0.0;       // kt sent as true airspeed
    double trackBearing = 0.0;         // radians, front sample to the next one
    double groundHeading = 0.0;        // radians, the heading the ground code steers
    std::uint8_t fixedHeadingSet = 0;  // use fixedHeading instead of the heading from the samples
    double fixedHeading = 0.0;         // radians

    // How far a re-timed due tick may move before / after the received one.
    std::int32_t maxEarlyTicks = 1000;
    std::int32_t maxLateTicks = 1000;
    std::int32_t phaseCounter = 1;      // polls of the take-off rotation and climb-out
    double heightAboveGround = 2500.0;  // feet, from the simulator's ground reports
    double approachHeight = 0.0;        // feet above the reference elevation when the flare is tested
    double groundElevation = 0.0;       // feet, reference elevation of the flare
    std::uint8_t groundElevationKnown = 0;
    std::uint32_t flarePhase = 0;  // 0 none, 1..4 the steps of the flare
    std::uint8_t landing = 0;      // configured for landing near the park airport
    std::uint8_t landed = 0;       // touched down at the park airport
    std::uint8_t towed = 0;        // left its stand after a short stay
    std::uint8_t climbedAway = 0;  // cleaned up after a go-around or climb-out
    std::uint8_t takingOff = 0;    // lined up or rolling for take-off
    std::uint8_t lightsHigh = 0;   // the light set above 10000 ft was sent
    std::uint8_t lightsLow = 0;    // the light set below 10000 ft was sent
    std::uint8_t touchdown = 0;    // de-rotation after touch-down under way
    std::uint8_t rollout = 0;      // landing roll-out under way
    double rolloutHeading = 0.0;   // radians, heading at touch-down
    std::uint8_t turnNeeded = 0;   // ground heading differs from trackBearing by more than 3 degrees

    // Holding and prediction when the stream runs dry.
    std::int32_t predictionCount = 0;  // 0 none yet, n > 0 predicted steps left, -1 used up
    std::uint32_t holdStartTick = 0;
    std::uint8_t holding = 0;

    // Ground movement.
    GroundCurve curve;
    double curveT = 0.0;
    double curveTStep = 0.0;
    double curveTurnDeg = 0.0;
    double headingErrorDeg = 0.0;
    std::int32_t pushbackCounter = 0;  // 2 while the push-back runs, 1 when done
    std::uint8_t pushbackTurn = 0;
    std::uint8_t pushbackTurnLeft = 0;
    PosSample reserveSample;          // the other end point of a push-back turn
    double departDistance = 0.0;      // nm, largest distance of a new sample seen while pushed back
    std::uint8_t pullOutPending = 0;  // leave the stand at the next ground step
    double lastParkAttemptLat = 0.0;
    double lastParkAttemptLon = 0.0;
    std::int64_t parkedAtMs = 0;  // steady clock when the aircraft was placed at its stand

    // Checks of samples near the stand of a parked aircraft.
    double standFirstDistance = 0.0;  // nm
    double standGreatestDistance = 0.0;
    std::uint32_t standGrowingSteps = 0;
    std::uint8_t standDistanceKnown = 0;
    std::uint8_t leaveCheck = 0;  // test the length of the stay when the aircraft leaves

    // Position at the last check against static aircraft.
    double lastCollisionCheckLat = 0.0;
    double lastCollisionCheckLon = 0.0;

    LiveAc() = default;
    LiveAc(const PosSample& first, FlightIdent&& ident, double timestamp);
};

// Changes the movement state; the old one becomes the previous state when
// they differ.
void lf_setMoveState(LiveAc& ac, AcState state);

// Due ticks are signed 32-bit stamps of the unsigned poll counter; they are
// compared by the wrapping difference so that nothing breaks after 2^31 polls.
inline std::int32_t lf_ticksUntil(std::int32_t due, std::uint32_t now) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(due) - now);
}
inline bool lf_isDue(std::int32_t due, std::uint32_t now) { return lf_ticksUntil(due, now) <= 0; }
inline std::int32_t lf_tickAfter(std::uint32_t now, std::int32_t ticks) {
    return static_cast<std::int32_t>(now + static_cast<std::uint32_t>(ticks));
}
// The later of two due ticks, by the wrapping difference.
inline bool lf_dueNotLater(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b)) <= 0;
}

}  // namespace skh
