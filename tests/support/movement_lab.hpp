#pragma once
// A flight lab for the movement model: scripted streams of received
// positions (built along paths of waypoints, or read from a recorded stream)
// go through the traffic control's real per-poll driver, with a simulator
// port that plays the simulator's part (adopts created objects, answers the
// static centre of gravity, reports the ground over flat terrain when the
// aircraft within range are asked for) and records every client event. The
// per-poll trace of one aircraft is kept, written as CSV, and measured
// against the samples it flew to. Shared by the movement tests, the trace
// tool and the movement benchmark; no test framework inside.
#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "airports/airport.hpp"
#include "airports/stand.hpp"
#include "feed/traffic_sample.hpp"
#include "foundation/geo.hpp"
#include "foundation/parameter_table.hpp"
#include "traffic/aircraft_records.hpp"
#include "traffic/sim_port.hpp"

namespace skh::lab {

// One received position and the poll at which it arrives.
struct ScriptedSample {
    std::uint32_t arrivalTick = 0;
    PosSample pos;
    std::uint32_t act = 0;  // 0: the scenario's aircraft; else another A320 called "LAB<act>"
};

// A point of a path: where, how fast, how high. A ground point lies on the
// terrain; samples of an airborne leg that come within 20 ft of it are ground
// samples. holdSeconds of standing still follow the point.
struct Waypoint {
    GeoPos pos;
    double groundSpeedKt = 0.0;
    double altitudeFt = 0.0;  // above sea level; ignored for a ground point
    double verticalSpeedFpm = 0.0;
    bool ground = false;
    double holdSeconds = 0.0;
};

// A database of one type of each category: A320 (large), B744 (heavy), CRJ9
// (business jet), C172, EC35 (rotorcraft), F16 (high performance).
void gf_labTypes();
// Those types, in that order: an aircraft of any other is never created.
const std::vector<std::string>& gf_labTypeNames();

// Samples every periodSeconds along the path, arriving from firstArrivalTick
// on; the terrain elevation turns ground points into altitude 0 samples.

std::vector<ScriptedSample> gf_samplesAlong(const std::vector<Waypoint>& path, double terrainFt,
                                            std::uint32_t firstArrivalTick, double periodSeconds);

// A runway end of the world runway list (one CSV row of runways.csv).
struct RunwayEnd {
    std::string airport;
    std::string ident;
    GeoPos threshold;
    double elevationFt = 0.0;
    double headingDeg = 0.0;  // true
    GeoPos otherEnd;
};
// Both ends of one row; nothing when the row lacks a coordinate, elevation
// or heading.
std::optional<std::array<RunwayEnd, 2>> gf_parseRunwayRow(const std::string& csvLine);
// The end `ident` of `airport` in a runways.csv file.
std::optional<RunwayEnd> gf_findRunway(const std::string& path, const std::string& airport, const std::string& ident);

// Paths at a runway: the landing from 12 nm on a 3 degree slope with the
// roll-out, a turn off to the right and a taxi turn to the left; the
// take-off from the threshold with the climb to 3000 ft above the runway.
std::vector<Waypoint> gf_approachPath(const RunwayEnd& rwy);
std::vector<Waypoint> gf_departurePath(const RunwayEnd& rwy);

struct Scenario {
    std::string name;
    std::uint32_t act = 40001;
    std::string callsign = "SWR14";
    std::string type = "A320";
    std::string airline = "SWR";
    std::vector<ScriptedSample> samples;
    std::optional<Airport> parkAirport;
    double terrainFt = 0.0;
    std::optional<Stand> stand;  // the aircraft is born standing on it
    std::uint32_t ticks = 0;     // polls to run
    std::int32_t qnh = 1013;
    bool straightPushbacksOnly = false;
    std::int32_t maxHoldingMinutes = 20;
    bool airborneOnly = false;
    GeoPos user{47.458, 8.548};  // the user flies at FL300 above this
    // The clock of the run: a weekday (1 Monday .. 7 Sunday) and half-hour
    // slot (0..47), under which the stand learning files what it sees.
    std::uint32_t weekday = 3;
    std::uint32_t halfHour = 20;
    double staticCgFt = 9.0;
    double staticPitchRad = 0.005;
};

// The position sent and the state of the aircraft after one poll.
struct TraceRow {
    std::uint32_t tick = 0;
    AiPositionBlock pos;
    bool sent = false;  // the position went to the simulator this poll
    AcState state = AcState::birth;
    AcStatus status = AcStatus::buffer;
    std::uint32_t flarePhase = 0;
    std::uint8_t onGround = 0, landing = 0, rollout = 0, touchdown = 0, takingOff = 0, holding = 0, curve = 0;
    std::int32_t phaseCounter = 0;
    std::int32_t predictionCount = 0;
    double heightAboveGround = 0.0;
    double groundTurnRate = 0.0;  // radians per poll in use
    std::size_t streamSize = 0;
    double minStreamSpeed = 0.0;  // the smallest ground speed of the stream's samples
    // A target was due this poll: how far the aircraft was from it (m).
    std::optional<double> dueErrorM;
    bool dueAirborne = false;
};

// The start of a smallest figure: it stays there when nothing was measured
// (a trace that never left the ground has no height above terrain).
inline constexpr double kNoFigure = 1e9;

// The worst figures of a trace.
struct Quality {
    double airDueErrorM = 0.0;
    double groundDueErrorM = 0.0;
    double headingStepAirDeg = 0.0;           // per poll
    double headingStepGroundDeg = 0.0;        // per poll
    double bankStepDeg = 0.0;                 // per poll
    double sentVsStepFpm = 0.0;               // between two polls
    double climbRateStepFpm = 0.0;            // of the altitude flown, between two polls
    double lowestAboveTerrainFt = kNoFigure;  // altitude - terrain - static CG while airborne
    double mostNoseUpDeg = 0.0;
    double slowestSampleKt = kNoFigure;
    double slowestAirspeedKt = kNoFigure;  // true airspeed sent outside a pushback
    std::size_t dueChecks = 0;
    // The crab angle: between the direction the aircraft moves in and the way
    // its nose points, while it moves forward faster than 3 kt. The worst
    // value, the poll and speed at which it came, and how long the angle
    // stayed above half of it there.
    double crabDeg = 0.0;
    double crabSeconds = 0.0;
    double crabSpeedKt = 0.0;
    std::uint32_t crabTick = 0;
};

struct PortEvent {
    std::uint32_t tick = 0;
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t value = 0;
};

// Plays the simulator behind the traffic control's port.
class SimulatorPlay final : public SimPort {
public:
    double terrainFt = 0.0;
    double staticCgFt = 9.0;
    double staticPitchRad = 0.005;
    std::uint32_t nextObjectId = 1000;
    std::vector<PortEvent> events;
    std::vector<AddRequest> creates;
    std::vector<std::uint32_t> removes;
    std::vector<std::pair<std::uint32_t, std::array<double, 3>>> controlBlocks;
    std::vector<PositionUpdate> back, front;
    UserAcState user;
    bool onGround = false;
    // Called with each creation request as it is handed over.
    std::function<void(const AddRequest&)> onCreate;

    void queueEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) override;
    void queueLights(std::uint32_t objectId, const std::array<std::uint32_t, 7>& values) override;
    void queueCreate(const AddRequest& request) override;
    void queueRemove(std::uint32_t objectId) override;
    bool requestWithinRange(std::uint32_t radiusMetres) override;
    bool requestStaticCg(std::uint32_t objectId) override;
    bool toggleAllLights(std::uint32_t) override { return true; }
    bool setControlBlock(std::uint32_t objectId, const std::array<double, 3>& values) override;
    bool setFlightPlan(std::uint32_t, const std::string&) override { return true; }
    bool requestFailed() const override { return false; }
    void requestError() override {}
    std::vector<PositionUpdate>& positionBack() override { return back; }
    bool swapPositions() override;
    UserAcState requestUserPosition() override { return user; }
    bool userOnGround() const override { return onGround; }

    // The events of one kind, in order.
    std::vector<PortEvent> eventsOf(std::uint32_t eventId) const;

private:
    struct Object {
        std::uint32_t id = 0;
        double altitude = 0.0;
    };
    std::vector<Object> m_objects;
};

// Sets up a fresh traffic control on the simulator play, runs the scenario
// poll by poll and keeps the trace of its aircraft; puts everything back
// when it goes.
class MovementLab {
public:
    explicit MovementLab(Scenario scenario);
    ~MovementLab();
    MovementLab(const MovementLab&) = delete;
    MovementLab& operator=(const MovementLab&) = delete;

    // Runs the scenario's polls; or n polls more.
    void run();
    void runPolls(std::uint32_t n);
    // Runs until the predicate holds for the trace's last row (or the polls end); true when it held.
    template <class Pred>
    bool runUntil(Pred pred, std::uint32_t maxPolls) {
        for (std::uint32_t i = 0; i < maxPolls; ++i) {
            runPolls(1);
            if (!m_trace.empty() && pred(m_trace.back())) return true;
        }
        return false;
    }

    SimulatorPlay& sim() { return m_sim; }
    const Scenario& scenario() const { return m_scenario; }
    const std::vector<TraceRow>& trace() const { return m_trace; }
    LiveAc* aircraft() const;
    std::uint32_t objectId() const;
    // Polls of the trace at which the state changed to `state`.
    std::vector<std::uint32_t> ticksEntering(AcState state) const;

    Quality quality() const;
    // The trace as CSV, from the poll at which the aircraft is first placed.
    void writeCsv(std::ostream& out) const;

private:
    void placeAtStand();
    void record(std::optional<double> dueErrorM, bool dueAirborne);

    // The settings the lab changes, put back when it goes.
    struct Saved {
        bool straight = STRAIGHT_PBS_ONLY.value.load();
        bool airborneOnly = AIRBORNE_ONLY.value.load();
        std::int32_t holdMinutes = MAX_HOLDING_MINUTES.value.load();
        double rangeNm = g_rangeNm.load();
        std::uint32_t rangeMetres = g_rangeMetres.load();
        std::int32_t qnh = 1013;
        std::uint64_t weekSlot = 0;
    };
    Saved m_saved;
    Scenario m_scenario;
    SimulatorPlay m_sim;
    std::vector<TraceRow> m_trace;
    std::size_t m_nextSample = 0;
};

// The approach or the departure at a runway end, with the runway's airport as
// the park airport and the user above the threshold; run until 10 s after
// the last sample was due.
Scenario gf_runwayScenario(const RunwayEnd& rwy, bool departure);
// Polls of a run that ends `afterSeconds` after the last sample was due.
std::uint32_t gf_ticksAfterStream(const std::vector<ScriptedSample>& samples, double afterSeconds);

// Quality over several traces: the worst of each figure.
Quality gf_worst(const Quality& a, const Quality& b);
std::string gf_qualityText(const Quality& q);

// Reads a recorded stream: CSV lines "seconds,lat,lon,altitude,groundSpeed,
// track,verticalSpeed[,trueAirspeed]" (a header line and lines starting with
// '#' are skipped); the samples arrive at seconds x 100 polls. Lines with
// numbers that do not parse or are not finite are skipped and counted.
std::vector<ScriptedSample> gf_readRecordedStream(std::istream& in, std::size_t* skipped = nullptr);

// The scenarios the tests and the trace tool share, at runway 14/32 of the
// test airport (real geometry); names: approach, departure, pushback-left,
// pushback-right, pushback-straight, pull-out, turns, turns-banked.
std::optional<Scenario> gf_builtInScenario(const std::string& name);
std::vector<std::string> gf_builtInScenarioNames();

}  // namespace skh::lab
