#include "support/movement_lab.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "aircraft/dbase.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/time_text.hpp"
#include "simclient/sim_events.hpp"
#include "simclient/sim_ids.hpp"
#include "traffic/traffic_driver.hpp"
#include "traffic/traffic_state.hpp"

namespace skh::lab {

namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kMetresPerNm = 1852.0;
constexpr double kGroundBandFt = 20.0;  // samples this close to the terrain are on the ground
constexpr double kOnGroundFt = 0.5;     // the simulator's contact margin
const std::string kLivery = "Lab livery";

double lf_normPi(double rad) {
    rad = std::remainder(rad, TWO_PI);
    return rad <= -3.141592653589793 ? rad + TWO_PI : rad;
}

PosSample lf_sample(GeoPos p, double gs, double altMsl, double vs, double trackDeg, double terrainFt, bool ground) {
    PosSample s;
    s.lat = p.lat;
    s.lon = p.lon;
    const bool onGround = ground || altMsl - terrainFt < kGroundBandFt;
    s.altitude = onGround ? 0.0 : altMsl;
    s.airborne = onGround ? 0 : 1;
    s.groundSpeed = gs;
    s.trueAirspeed = gs;
    s.verticalSpeed = onGround ? 0.0 : vs;
    s.track = trackDeg;
    return s;
}

// Splits one CSV line; quotes around a field are dropped.
std::vector<std::string> lf_csvFields(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.push_back(field);
            field.clear();
        } else if (c != '\r' && c != '\n') {
            field.push_back(c);
        }
    }
    out.push_back(field);
    return out;
}

std::optional<double> lf_number(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::istringstream in(text);
    double v = 0.0;
    in >> v;
    if (!in || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace

std::vector<ScriptedSample> gf_samplesAlong(const std::vector<Waypoint>& path, double terrainFt,
                                            std::uint32_t firstArrivalTick, double periodSeconds) {
    std::vector<ScriptedSample> out;
    if (path.empty() || !(periodSeconds > 0.0)) return out;
    const auto periodTicks = static_cast<std::uint32_t>(std::lround(periodSeconds * 100.0));
    std::uint32_t tick = firstArrivalTick;
    const auto emit = [&](const PosSample& s) {
        out.push_back({tick, s, 0});
        tick += periodTicks;
    };
    const auto altOf = [&](const Waypoint& w) { return w.ground ? terrainFt : w.altitudeFt; };
    const auto hold = [&](const Waypoint& w, double trackDeg) {
        for (double t = periodSeconds; t <= w.holdSeconds + 1e-9; t += periodSeconds)
            emit(lf_sample(w.pos, 0.0, altOf(w), 0.0, trackDeg, terrainFt, w.ground));
    };
    double dist = 0.0;  // nm along the leg
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const Waypoint& a = path[i];
        const Waypoint& b = path[i + 1];
        const double length = gf_distanceNm(a.pos, b.pos);
        const double bearing = gf_bearingRad(a.pos, b.pos);
        const double trackDeg = bearing * RAD2DEG;
        if (i == 0) {
            emit(lf_sample(a.pos, a.groundSpeedKt, altOf(a), a.verticalSpeedFpm, trackDeg, terrainFt, a.ground));
            hold(a, trackDeg);
            dist = std::max(a.groundSpeedKt, 1.0) * periodSeconds / 3600.0;
        }
        while (dist < length) {
            const double f = dist / length;
            const double gs = a.groundSpeedKt + (b.groundSpeedKt - a.groundSpeedKt) * f;
            const double alt = altOf(a) + (altOf(b) - altOf(a)) * f;
            const double vs = a.verticalSpeedFpm + (b.verticalSpeedFpm - a.verticalSpeedFpm) * f;
            emit(lf_sample(gf_destinationPoint(a.pos, bearing, dist * kFeetPerNm), gs, alt, vs, trackDeg, terrainFt,
                           a.ground && b.ground));
            dist += std::max(gs, 1.0) * periodSeconds / 3600.0;
        }
        dist -= length;
        if (b.holdSeconds > 0.0) {
            emit(lf_sample(b.pos, 0.0, altOf(b), 0.0, trackDeg, terrainFt, b.ground));
            hold(b, trackDeg);
            dist = std::max(b.groundSpeedKt, 1.0) * periodSeconds / 3600.0;
        }
    }
    // The path ends at its last point.
    const Waypoint& last = path.back();
    if (path.size() >= 2 && last.holdSeconds <= 0.0) {
        const double trackDeg = gf_bearingRad(path[path.size() - 2].pos, last.pos) * RAD2DEG;
        emit(lf_sample(last.pos, last.groundSpeedKt, altOf(last), last.verticalSpeedFpm, trackDeg, terrainFt,
                       last.ground));
    }
    return out;
}

std::optional<std::array<RunwayEnd, 2>> gf_parseRunwayRow(const std::string& csvLine) {
    const auto f = lf_csvFields(csvLine);
    if (f.size() < 19) return std::nullopt;
    const auto le = std::array{lf_number(f[9]), lf_number(f[10]), lf_number(f[11]), lf_number(f[12])};
    const auto he = std::array{lf_number(f[15]), lf_number(f[16]), lf_number(f[17]), lf_number(f[18])};
    for (const auto& v : le)
        if (!v) return std::nullopt;
    for (const auto& v : he)
        if (!v) return std::nullopt;
    const GeoPos lePos{*le[0], *le[1]};
    const GeoPos hePos{*he[0], *he[1]};
    return std::array{RunwayEnd{f[2], f[8], lePos, *le[2], *le[3], hePos},
                      RunwayEnd{f[2], f[14], hePos, *he[2], *he[3], lePos}};
}

std::optional<RunwayEnd> gf_findRunway(const std::string& path, const std::string& airport, const std::string& ident) {
    std::ifstream in(path);
    std::string line;
    const std::string key = "\"" + airport + "\"";
    while (std::getline(in, line)) {
        if (line.find(key) == std::string::npos) continue;
        const auto ends = gf_parseRunwayRow(line);
        if (!ends) continue;
        for (const RunwayEnd& e : *ends)
            if (e.airport == airport && e.ident == ident) return e;
    }
    return std::nullopt;
}

std::vector<Waypoint> gf_approachPath(const RunwayEnd& rwy) {
    const double h = rwy.headingDeg * DEG2RAD;
    const double slopeFtPerNm = kFeetPerNm * std::tan(3.0 * DEG2RAD);
    const double e = rwy.elevationFt;
    const auto along = [&](double nm) {
        return gf_destinationPoint(rwy.threshold, nm >= 0 ? h : h + 3.141592653589793, std::fabs(nm) * kFeetPerNm);
    };
    const GeoPos turnOff = along(6000.0 / kFeetPerNm);
    const GeoPos taxiway = gf_destinationPoint(turnOff, h + 3.141592653589793 / 2.0, 200.0 / kMetresPerNm * kFeetPerNm);
    const GeoPos apron = gf_destinationPoint(taxiway, h, 300.0 / kMetresPerNm * kFeetPerNm);
    const GeoPos stop = gf_destinationPoint(apron, h, 100.0 / kMetresPerNm * kFeetPerNm);
    return {
        {along(-12.0), 150.0, e + 50.0 + 12.0 * slopeFtPerNm, -800.0},
        {along(-4.0), 140.0, e + 50.0 + 4.0 * slopeFtPerNm, -740.0},
        {rwy.threshold, 135.0, e + 50.0, -700.0},
        {along(1000.0 / kFeetPerNm), 130.0, 0.0, 0.0, true},
        {along(5000.0 / kFeetPerNm), 40.0, 0.0, 0.0, true},
        {turnOff, 18.0, 0.0, 0.0, true},
        {taxiway, 15.0, 0.0, 0.0, true},
        {apron, 15.0, 0.0, 0.0, true},
        {stop, 5.0, 0.0, 0.0, true, 30.0},
    };
}

std::vector<Waypoint> gf_departurePath(const RunwayEnd& rwy) {
    const double h = rwy.headingDeg * DEG2RAD;
    const double e = rwy.elevationFt;
    const auto along = [&](double metres) {
        return gf_destinationPoint(rwy.threshold, h, metres / kMetresPerNm * kFeetPerNm);
    };
    // From a holding point beside the runway, a turn onto it, a stop, the roll and the climb.
    const GeoPos holdingPoint =
        gf_destinationPoint(along(150.0), h - 3.141592653589793 / 2.0, 250.0 / kMetresPerNm * kFeetPerNm);
    const GeoPos entry = along(150.0);
    return {
        {holdingPoint, 12.0, 0.0, 0.0, true},
        {entry, 10.0, 0.0, 0.0, true},
        {along(300.0), 5.0, 0.0, 0.0, true, 20.0},
        {along(900.0), 70.0, 0.0, 0.0, true},
        {along(1800.0), 150.0, 0.0, 0.0, true},
        {along(2100.0), 155.0, e + 25.0, 1800.0},
        {along(2100.0 + 3.0 * kMetresPerNm), 170.0, e + 1500.0, 2000.0},
        {along(2100.0 + 9.0 * kMetresPerNm), 200.0, e + 3000.0, 1500.0},
    };
}

// SimulatorPlay

void SimulatorPlay::queueEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) {
    events.push_back({trafficTick.load(), objectId, eventId, value});
}

void SimulatorPlay::queueLights(std::uint32_t objectId, const std::array<std::uint32_t, 7>& v) {
    static constexpr std::uint32_t kOrder[7] = {
        EVENT_NAV_LIGHTS_SET, EVENT_BEACON_LIGHTS_SET, EVENT_LANDING_LIGHTS_SET, EVENT_TAXI_LIGHTS_SET,
        EVENT_STROBES_SET,    EVENT_LOGO_LIGHTS_SET,   EVENT_CABIN_LIGHTS_SET};
    for (std::size_t i = 0; i < 7; ++i) queueEvent(objectId, kOrder[i], v[i]);
}

void SimulatorPlay::queueCreate(const AddRequest& request) {
    creates.push_back(request);
    if (onCreate) onCreate(request);
    const std::uint32_t id = nextObjectId++;
    m_objects.push_back({id, request.initPos.Altitude});
    SimEvent e;
    e.kind = SimEventKind::objectCreated;
    e.objectId = id;
    e.actNumber = request.actNumber;
    e.b = std::max(request.initPos.Altitude - terrainFt, staticCgFt);
    gf_pushSimEvent(e);
}

void SimulatorPlay::queueRemove(std::uint32_t objectId) {
    removes.push_back(objectId);
    std::erase_if(m_objects, [&](const Object& o) { return o.id == objectId; });
    SimEvent e;
    e.kind = SimEventKind::objectRemoved;
    e.objectId = objectId;
    gf_pushSimEvent(e);
}

bool SimulatorPlay::requestWithinRange(std::uint32_t) {
    for (const Object& o : m_objects) {
        SimEvent e;
        e.kind = SimEventKind::groundReport;
        e.objectId = o.id;
        e.a = terrainFt;
        // The simulator keeps an object that is put below the ground on it.
        e.b = std::max(o.altitude - terrainFt, staticCgFt);
        e.actNumber = e.b - staticCgFt <= kOnGroundFt ? 1 : 0;
        gf_pushSimEvent(e);
    }
    return true;
}

bool SimulatorPlay::requestStaticCg(std::uint32_t objectId) {
    SimEvent e;
    e.kind = SimEventKind::staticCgReport;
    e.objectId = objectId;
    e.a = staticCgFt;
    e.b = staticPitchRad;
    gf_pushSimEvent(e);
    return true;
}

bool SimulatorPlay::setControlBlock(std::uint32_t objectId, const std::array<double, 3>& values) {
    controlBlocks.push_back({objectId, values});
    return true;
}

bool SimulatorPlay::swapPositions() {
    front.swap(back);
    back.clear();
    for (const PositionUpdate& u : front) {
        for (Object& o : m_objects)
            if (o.id == u.objectId) o.altitude = u.block.altitude;
    }
    return true;
}

std::vector<PortEvent> SimulatorPlay::eventsOf(std::uint32_t eventId) const {
    std::vector<PortEvent> out;
    for (const PortEvent& e : events)
        if (e.eventId == eventId) out.push_back(e);
    return out;
}

// MovementLab

const std::vector<std::string>& gf_labTypeNames() {
    static const std::vector<std::string> names = {"A320", "B744", "CRJ9", "C172", "EC35", "F16"};
    return names;
}

void gf_labTypes() {
    gf_clearDbase();
    for (const std::string& t : gf_labTypeNames()) g_knownTypes.insert(t);
    g_largeTypes.insert("A320");
    g_heavyTypes.insert("B744");
    g_buzjetTypes.insert("CRJ9");
    g_rotorcraftTypes.insert("EC35");
    g_highPerfTypes.insert("F16");
}

namespace {

void lf_labDatabase() {
    gf_labTypes();
    g_wingspans["A320"] = 35.8 / 2.0 / kMetresPerNm;
    g_wingspans["B744"] = 64.4 / 2.0 / kMetresPerNm;
    g_wingspans["C172"] = 11.0 / 2.0 / kMetresPerNm;
}

}  // namespace

MovementLab::MovementLab(Scenario scenario) : m_scenario(std::move(scenario)) {
    lf_labDatabase();
    gf_reserveTrafficContainers();
    gf_resetTraffic();
    m_sim.terrainFt = m_scenario.terrainFt;
    m_sim.staticCgFt = m_scenario.staticCgFt;
    m_sim.staticPitchRad = m_scenario.staticPitchRad;
    m_sim.user.latitude = m_scenario.user.lat;
    m_sim.user.longitude = m_scenario.user.lon;
    m_sim.user.altitude = 30000.0;
    m_sim.user.altitudeAboveGround = 30000.0 - m_scenario.terrainFt;
    gf_setSimPort(&m_sim);
    TrafficServices& s = gf_trafficServices();
    s.steadyMs = [] { return static_cast<std::int64_t>(trafficTick.load()) * 10; };
    s.randomBelow = [](std::int64_t) { return 0; };
    s.matchLiveryForSpawn = [](FlightIdent& f) { f.liveryTitle = kLivery; };
    s.reportUncreatable = [](const FlightIdent&) {};
    s.findRegistration = [](std::string_view) -> std::optional<DbaseRecord> { return std::nullopt; };
    s.isKnownType = [](std::string_view type) { return gf_isKnownType(type); };
    s.sendUserPosition = [] {};
    trafficTick = 0;
    g_userAc = m_sim.user;
    g_rangeNm = 40.0;
    g_rangeMetres = 40 * 1852;
    STRAIGHT_PBS_ONLY.value = m_scenario.straightPushbacksOnly;
    AIRBORNE_ONLY.value = m_scenario.airborneOnly;
    MAX_HOLDING_MINUTES.value = m_scenario.maxHoldingMinutes;
    if (m_scenario.parkAirport) gf_setParkAirport(*m_scenario.parkAirport);
    m_saved.qnh = g_qnh.load();
    g_qnh = m_scenario.qnh;
    m_saved.weekSlot = g_weekSlot.load();
    g_weekSlot = m_scenario.weekday | (std::uint64_t{m_scenario.halfHour} << 32);
    if (m_scenario.stand) {
        m_scenario.stand->id = 1;
        g_stands.push_back(*m_scenario.stand);
    }
    std::stable_sort(m_scenario.samples.begin(), m_scenario.samples.end(),
                     [](const ScriptedSample& a, const ScriptedSample& b) { return a.arrivalTick < b.arrivalTick; });
    gf_setTrafficAccepted(true);
}

MovementLab::~MovementLab() {
    gf_resetTraffic();
    gf_setSimPort(nullptr);
    gf_resetTrafficServices();
    gf_setTrafficAccepted(false);
    gf_clearDbase();
    trafficTick = 0;
    STRAIGHT_PBS_ONLY.value = m_saved.straight;
    AIRBORNE_ONLY.value = m_saved.airborneOnly;
    MAX_HOLDING_MINUTES.value = m_saved.holdMinutes;
    g_rangeNm = m_saved.rangeNm;
    g_rangeMetres = m_saved.rangeMetres;
    g_qnh = m_saved.qnh;
    g_weekSlot = m_saved.weekSlot;
}

LiveAc* MovementLab::aircraft() const { return gf_findLiveByAct(m_scenario.act); }

std::uint32_t MovementLab::objectId() const {
    const LiveAc* ac = aircraft();
    return ac != nullptr ? ac->objectId : 0;
}

void MovementLab::run() {
    const std::uint32_t done = static_cast<std::uint32_t>(m_trace.size());
    if (m_scenario.ticks > done) runPolls(m_scenario.ticks - done);
}

void MovementLab::placeAtStand() {
    LiveAc* ac = aircraft();
    if (ac == nullptr || !m_scenario.stand || ac->status != AcStatus::adding2sim || ac->moveState == AcState::parked)
        return;
    // What the stand choice does for an aircraft born on its stand.
    const Stand& stand = g_stands.front();
    ac->standLat = stand.lat;
    ac->standLon = stand.lon;
    ac->standHeading = stand.heading;
    ac->standId = stand.id;
    ac->moveState = AcState::parked;
    ac->prevMoveState = AcState::birth;
    ac->parkedAtMs = gf_trafficServices().steadyMs();
    ac->stream.resize(1);
    PosSample& front = ac->stream.front();
    front.lat = stand.lat;
    front.lon = stand.lon;
    front.track = stand.heading * RAD2DEG;
    front.stationary = 1;
    front.groundSpeed = 0.0;
    ac->pos.latitude = stand.lat;
    ac->pos.longitude = stand.lon;
    ac->pos.trueHeading = stand.heading;
    ac->groundHeading = stand.heading;
}

void MovementLab::runPolls(std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t tick = trafficTick.load();
        auto& samples = m_scenario.samples;
        while (m_nextSample < samples.size() && samples[m_nextSample].arrivalTick <= tick) {
            const ScriptedSample& s = samples[m_nextSample++];
            TrafficSample t;
            t.actNumber = s.act != 0 ? s.act : m_scenario.act;
            t.ident.type = s.act != 0 ? "A320" : m_scenario.type;
            t.ident.callsign = s.act != 0 ? skh::format("LAB{}", s.act) : m_scenario.callsign;
            t.ident.airline = s.act != 0 ? "LAB" : m_scenario.airline;
            t.pos = s.pos;
            t.timestamp = s.arrivalTick / 100.0;
            (void)gf_pushTrafficSample(std::move(t));
        }
        std::optional<double> dueError;
        bool dueAirborne = false;
        if (const LiveAc* ac = aircraft(); ac != nullptr && ac->status == AcStatus::active && !ac->stream.empty() &&
                                           lf_isDue(ac->stream.front().dueTick, tick)) {
            const PosSample& f = ac->stream.front();
            dueError = gf_distanceNm({ac->pos.latitude, ac->pos.longitude}, {f.lat, f.lon}) * kMetresPerNm;
            dueAirborne = ac->onGround == 0;
        }
        lf_handleAddingStack();
        placeAtStand();
        record(dueError, dueAirborne);
    }
}

void MovementLab::record(std::optional<double> dueErrorM, bool dueAirborne) {
    TraceRow r;
    r.tick = trafficTick.load() - 1;
    r.dueErrorM = dueErrorM;
    r.dueAirborne = dueAirborne;
    if (const LiveAc* ac = aircraft()) {
        r.pos = ac->pos;
        r.sent = ac->objectId != 0 && std::any_of(m_sim.front.begin(), m_sim.front.end(),
                                                  [&](const PositionUpdate& u) { return u.objectId == ac->objectId; });
        r.state = ac->moveState;
        r.status = ac->status;
        r.flarePhase = ac->flarePhase;
        r.onGround = ac->onGround;
        r.landing = ac->landing;
        r.rollout = ac->rollout;
        r.touchdown = ac->touchdown;
        r.takingOff = ac->takingOff;
        r.holding = ac->holding;
        r.curve = ac->curve.active() ? 1 : 0;
        r.phaseCounter = ac->phaseCounter;
        r.predictionCount = ac->predictionCount;
        r.heightAboveGround = ac->heightAboveGround;
        r.groundTurnRate = ac->groundTurnRateNow;
        r.streamSize = ac->stream.size();
        r.minStreamSpeed = 1e9;
        for (const PosSample& s : ac->stream) r.minStreamSpeed = std::min(r.minStreamSpeed, s.groundSpeed);
    } else {
        r.status = AcStatus::removingfromsim;
    }
    m_trace.push_back(r);
}

std::vector<std::uint32_t> MovementLab::ticksEntering(AcState state) const {
    std::vector<std::uint32_t> out;
    for (std::size_t i = 1; i < m_trace.size(); ++i)
        if (m_trace[i].sent && m_trace[i].state == state && m_trace[i - 1].state != state)
            out.push_back(m_trace[i].tick);
    return out;
}

namespace {

constexpr double kCrabMinSpeedKt = 3.0;

// The crab angle of each poll (negative where it is not measured) and the
// worst of them with how long it lasted.
void lf_crabAngles(const std::vector<TraceRow>& trace, Quality& q) {
    std::vector<double> crab(trace.size(), -1.0);
    std::vector<double> speed(trace.size(), 0.0);
    for (std::size_t i = 1; i < trace.size(); ++i) {
        const TraceRow& a = trace[i - 1];
        const TraceRow& b = trace[i];
        if (!a.sent || !b.sent || b.tick != a.tick + 1 || !(b.pos.trueAirspeed > 0.0)) continue;
        const GeoPos from{a.pos.latitude, a.pos.longitude};
        const GeoPos to{b.pos.latitude, b.pos.longitude};
        speed[i] = gf_distanceNm(from, to) * 100.0 * 3600.0;
        if (speed[i] <= kCrabMinSpeedKt) continue;
        crab[i] = std::fabs(lf_normPi(gf_bearingRad(from, to) - b.pos.trueHeading)) * RAD2DEG;
    }
    const auto worst = std::max_element(crab.begin(), crab.end());
    if (worst == crab.end() || *worst <= 0.0) return;
    const auto at = static_cast<std::size_t>(worst - crab.begin());
    std::size_t first = at;
    std::size_t last = at;
    const double above = std::max(*worst / 2.0, 1.0);
    while (first > 0 && crab[first - 1] > above) --first;
    while (last + 1 < crab.size() && crab[last + 1] > above) ++last;
    q.crabDeg = *worst;
    q.crabSeconds = static_cast<double>(last - first + 1) / 100.0;
    q.crabSpeedKt = speed[at];
    q.crabTick = trace[at].tick;
}

}  // namespace

Quality MovementLab::quality() const {
    Quality q;
    lf_crabAngles(m_trace, q);
    const TraceRow* prev = nullptr;
    double prevRate = 0.0;
    bool havePrevRate = false;
    for (const TraceRow& r : m_trace) {
        if (r.dueErrorM) {
            ++q.dueChecks;
            double& worst = r.dueAirborne ? q.airDueErrorM : q.groundDueErrorM;
            worst = std::max(worst, *r.dueErrorM);
        }
        if (!r.sent) {
            prev = nullptr;
            havePrevRate = false;
            continue;
        }
        q.slowestSampleKt = std::min(q.slowestSampleKt, r.minStreamSpeed);
        if (r.state != AcState::pushing_back) q.slowestAirspeedKt = std::min(q.slowestAirspeedKt, r.pos.trueAirspeed);
        q.mostNoseUpDeg = std::max(q.mostNoseUpDeg, -r.pos.pitch * RAD2DEG);
        if (r.onGround == 0)
            q.lowestAboveTerrainFt =
                std::min(q.lowestAboveTerrainFt, r.pos.altitude - m_scenario.terrainFt - m_scenario.staticCgFt);
        if (prev != nullptr) {
            const double dh = std::fabs(lf_normPi(r.pos.trueHeading - prev->pos.trueHeading)) * RAD2DEG;
            double& worstHeading = r.onGround != 0 ? q.headingStepGroundDeg : q.headingStepAirDeg;
            worstHeading = std::max(worstHeading, dh);
            q.bankStepDeg = std::max(q.bankStepDeg, std::fabs(r.pos.bank - prev->pos.bank) * RAD2DEG);
            q.sentVsStepFpm =
                std::max(q.sentVsStepFpm, std::fabs(r.pos.verticalSpeed - prev->pos.verticalSpeed) * 60.0);
            if (r.onGround == 0 && prev->onGround == 0) {
                const double rate = (r.pos.altitude - prev->pos.altitude) * 6000.0;
                if (havePrevRate) q.climbRateStepFpm = std::max(q.climbRateStepFpm, std::fabs(rate - prevRate));
                prevRate = rate;
                havePrevRate = true;
            } else {
                havePrevRate = false;
            }
        }
        prev = &r;
    }
    return q;
}

void MovementLab::writeCsv(std::ostream& out) const {
    out << "tick,lat,lon,alt_ft,pitch_deg,bank_deg,heading_deg,vs_fpm,tas_kt,sent,state,status,flare,on_ground,"
           "landing,rollout,touchdown,taking_off,holding,curve,phase_counter,prediction,agl_ft,turn_rate_deg,"
           "stream,due_error_m\n";
    // Until it is first placed the aircraft waits in the feed's buffer with
    // no position: those rows are left out.
    const auto placed =
        std::find_if(m_trace.begin(), m_trace.end(), [](const TraceRow& r) { return r.status != AcStatus::buffer; });
    for (auto row = placed; row != m_trace.end(); ++row) {
        const TraceRow& r = *row;
        out << skh::format(
            "{},{:.8f},{:.8f},{:.2f},{:.3f},{:.3f},{:.3f},{:.1f},{:.1f},{},{},{},{},{},{},{},{},{},{},{},{},"
            "{},{:.1f},{:.4f},{},{}\n",
            r.tick, r.pos.latitude, r.pos.longitude, r.pos.altitude, r.pos.pitch * RAD2DEG, r.pos.bank * RAD2DEG,
            r.pos.trueHeading * RAD2DEG, r.pos.verticalSpeed * 60.0, r.pos.trueAirspeed, r.sent ? 1 : 0,
            gf_moveStateName(r.state), gf_statusName(r.status), r.flarePhase, r.onGround, r.landing, r.rollout,
            r.touchdown, r.takingOff, r.holding, r.curve, r.phaseCounter, r.predictionCount, r.heightAboveGround,
            r.groundTurnRate * RAD2DEG, r.streamSize,
            r.dueErrorM ? skh::format("{:.2f}", *r.dueErrorM) : std::string());
    }
}

Scenario gf_runwayScenario(const RunwayEnd& rwy, bool departure) {
    Scenario s;
    s.name = rwy.airport + " " + rwy.ident + (departure ? " departure" : " approach");
    s.terrainFt = rwy.elevationFt;
    s.parkAirport = Airport{rwy.airport, "", rwy.threshold.lat, rwy.threshold.lon, rwy.elevationFt};
    s.user = rwy.threshold;
    s.samples = gf_samplesAlong(departure ? gf_departurePath(rwy) : gf_approachPath(rwy), rwy.elevationFt, 0, 5.0);
    s.ticks = gf_ticksAfterStream(s.samples, 10.0);
    return s;
}

std::uint32_t gf_ticksAfterStream(const std::vector<ScriptedSample>& samples, double afterSeconds) {
    constexpr std::uint32_t kDueDelayTicks = 3000;  // a sample is flown to 30 s after it arrived
    const std::uint32_t last = samples.empty() ? 0 : samples.back().arrivalTick;
    return last + kDueDelayTicks + static_cast<std::uint32_t>(std::lround(afterSeconds * 100.0));
}

Quality gf_worst(const Quality& a, const Quality& b) {
    Quality q;
    q.airDueErrorM = std::max(a.airDueErrorM, b.airDueErrorM);
    q.groundDueErrorM = std::max(a.groundDueErrorM, b.groundDueErrorM);
    q.headingStepAirDeg = std::max(a.headingStepAirDeg, b.headingStepAirDeg);
    q.headingStepGroundDeg = std::max(a.headingStepGroundDeg, b.headingStepGroundDeg);
    q.bankStepDeg = std::max(a.bankStepDeg, b.bankStepDeg);
    q.sentVsStepFpm = std::max(a.sentVsStepFpm, b.sentVsStepFpm);
    q.climbRateStepFpm = std::max(a.climbRateStepFpm, b.climbRateStepFpm);
    q.lowestAboveTerrainFt = std::min(a.lowestAboveTerrainFt, b.lowestAboveTerrainFt);
    q.mostNoseUpDeg = std::max(a.mostNoseUpDeg, b.mostNoseUpDeg);
    q.slowestSampleKt = std::min(a.slowestSampleKt, b.slowestSampleKt);
    q.slowestAirspeedKt = std::min(a.slowestAirspeedKt, b.slowestAirspeedKt);
    q.dueChecks = a.dueChecks + b.dueChecks;
    const Quality& crab = a.crabDeg >= b.crabDeg ? a : b;
    q.crabDeg = crab.crabDeg;
    q.crabSeconds = crab.crabSeconds;
    q.crabSpeedKt = crab.crabSpeedKt;
    q.crabTick = crab.crabTick;
    return q;
}

namespace {

// A smallest figure with its unit, or why there is none.
std::string lf_smallest(double value, int decimals, const char* unit, const char* none) {
    return value >= kNoFigure ? std::string(none) : skh::format("{:.{}f} {}", value, decimals, unit);
}

}  // namespace

std::string gf_qualityText(const Quality& q) {
    return skh::format(
        "due error air {:.2f} m, ground {:.2f} m over {} targets; heading step air {:.3f}, ground {:.3f} deg/poll; "
        "bank step {:.3f} deg/poll; sent vs step {:.0f} ft/min; climb rate step {:.0f} ft/min; lowest above terrain "
        "+ CG: {}; nose up at most {:.2f} deg; slowest sample: {}; slowest airspeed: {}; crab angle at most {:.1f} deg "
        "(at {:.1f} kt for {:.2f} s from poll {})",
        q.airDueErrorM, q.groundDueErrorM, q.dueChecks, q.headingStepAirDeg, q.headingStepGroundDeg, q.bankStepDeg,
        q.sentVsStepFpm, q.climbRateStepFpm, lf_smallest(q.lowestAboveTerrainFt, 2, "ft", "no figure (never airborne)"),
        q.mostNoseUpDeg, lf_smallest(q.slowestSampleKt, 1, "kt", "no figure (nothing sent)"),
        lf_smallest(q.slowestAirspeedKt, 1, "kt", "no figure (nothing sent outside a pushback)"), q.crabDeg,
        q.crabSpeedKt, q.crabSeconds, q.crabTick);
}

std::vector<ScriptedSample> gf_readRecordedStream(std::istream& in, std::size_t* skipped) {
    std::vector<ScriptedSample> out;
    std::size_t bad = 0;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        const bool header = first;
        first = false;
        if (line.empty() || line[0] == '#') continue;
        const auto f = lf_csvFields(line);
        std::array<std::optional<double>, 8> v{};
        for (std::size_t i = 0; i < v.size() && i < f.size(); ++i) v[i] = lf_number(f[i]);
        const bool complete = std::all_of(v.begin(), v.begin() + 7, [](const auto& x) { return x.has_value(); });
        if (!complete || *v[0] < 0.0 || *v[0] > 4.0e7 || std::fabs(*v[1]) > 90.0 || std::fabs(*v[2]) > 180.0 ||
            *v[4] < 0.0) {
            if (!header) ++bad;
            continue;
        }
        ScriptedSample s;
        s.arrivalTick = static_cast<std::uint32_t>(std::lround(*v[0] * 100.0));
        s.pos.lat = *v[1];
        s.pos.lon = *v[2];
        s.pos.altitude = std::max(*v[3], 0.0);
        s.pos.airborne = s.pos.altitude > 0.0 ? 1 : 0;
        s.pos.groundSpeed = *v[4];
        s.pos.track = *v[5];
        s.pos.verticalSpeed = *v[6];
        s.pos.trueAirspeed = v[7].value_or(*v[4]);
        out.push_back(s);
    }
    if (skipped != nullptr) *skipped = bad;
    return out;
}

namespace {

// Runway 14/32 of the test airport, copied from the world runway list.
const char* const kTestRunwayRow =
    R"(239121,4505,"LSZH",10827,197,"CON",1,0,"14",47.483101,8.53473,1402,137,492,"32",47.4613,8.56446,1402,317,)";

Scenario lf_atTestAirport(const std::string& name) {
    Scenario s;
    s.name = name;
    s.terrainFt = 1402.0;
    s.parkAirport = Airport{"LSZH", "ZRH", 47.458, 8.548, 1402.0};
    return s;
}

std::uint32_t lf_lastArrival(const std::vector<ScriptedSample>& samples) {
    return samples.empty() ? 0 : samples.back().arrivalTick;
}

// Born on a stand, pushed back with the tail swinging to one side (or
// straight), then taxiing away to that side; or (side 2) pulling out ahead.
Scenario lf_pushback(const std::string& name, int side) {
    Scenario s = lf_atTestAirport(name);
    s.straightPushbacksOnly = side == 0;
    const double heading = 47.0 * DEG2RAD;
    Stand stand;
    stand.name = "E12";
    stand.lat = 47.4560;
    stand.lon = 8.5580;
    stand.heading = heading;
    stand.radius = 22.0 / kMetresPerNm;
    s.stand = stand;
    const GeoPos at{stand.lat, stand.lon};
    const double back = heading + 3.141592653589793;
    const auto ft = [](double metres) { return metres / kMetresPerNm * kFeetPerNm; };
    std::vector<ScriptedSample> samples;
    std::uint32_t tick = 0;
    const auto add = [&](GeoPos p, double gs, double trackRad) {
        samples.push_back({tick, lf_sample(p, gs, 0.0, 0.0, trackRad * RAD2DEG, s.terrainFt, true), 0});
        tick += 500;
    };
    for (int i = 0; i < 12; ++i) add(at, 0.0, heading);  // a minute at the stand
    if (side == 2) {
        for (int i = 1; i <= 14; ++i) add(gf_destinationPoint(at, heading, ft(12.0 * i)), 5.0 + i, heading);
        s.samples = std::move(samples);
        s.ticks = lf_lastArrival(s.samples) + 3000 + 1500;
        return s;
    }
    // Pushed back: the track tells the side the tail swings to.
    const double swing = -side * 30.0 * DEG2RAD;  // the tail to the left: a track left of straight back
    for (int i = 1; i <= 6; ++i) add(gf_destinationPoint(at, back, ft(15.0 * i)), 6.0, back + swing);
    const GeoPos pushed = gf_destinationPoint(at, back, ft(90.0));
    for (int i = 0; i < 4; ++i) add(pushed, 0.0, back + swing);
    // Taxiing away along the side the tail swung to.
    const double away = heading + (side >= 0 ? 1.0 : -1.0) * 3.141592653589793 / 2.0;  // the nose swung the other way
    for (int i = 1; i <= 12; ++i) add(gf_destinationPoint(pushed, away, ft(35.0 * i)), 14.0, away);
    s.samples = std::move(samples);
    s.ticks = lf_lastArrival(s.samples) + 3000 + 1500;
    return s;
}

// Airborne turns: north, a right turn to the east, a left turn back to the
// west, descending; with the bank in the samples or without.
Scenario lf_turns(const std::string& name, bool withBank) {
    Scenario s = lf_atTestAirport(name);
    const double gs = 250.0;
    const double ratePerSample = 15.0 * DEG2RAD;  // 3 degrees per second
    const double chordFt = gs * kFeetPerNm / 3600.0 * 5.0;
    std::vector<Waypoint> path;
    GeoPos p =
        gf_destinationPoint({s.parkAirport->lat, s.parkAirport->lon}, 3.141592653589793 * 1.25, 12.0 * kFeetPerNm);
    double heading = 0.0;
    double alt = 6000.0;
    const auto add = [&] { path.push_back({p, gs, alt, -500.0}); };
    const auto straight = [&](double nm) {
        add();
        p = gf_destinationPoint(p, heading, nm * kFeetPerNm);
        alt -= nm / gs * 60.0 * 500.0;
    };
    const auto turn = [&](double degrees) {
        const int n = static_cast<int>(std::lround(std::fabs(degrees) / 15.0));
        const double step = degrees > 0 ? ratePerSample : -ratePerSample;
        for (int i = 0; i < n; ++i) {
            add();
            p = gf_destinationPoint(p, heading + step / 2.0, chordFt);
            heading += step;
            alt -= 5.0 / 60.0 * 500.0;
        }
    };
    straight(4.0);
    turn(90.0);
    straight(4.0);
    turn(-180.0);
    straight(4.0);
    add();
    s.samples = gf_samplesAlong(path, s.terrainFt, 0, 5.0);
    if (withBank) {
        // The feed's roll: into the turn while the track changes.
        for (std::size_t i = 1; i + 1 < s.samples.size(); ++i) {
            const double change = lf_normPi((s.samples[i + 1].pos.track - s.samples[i - 1].pos.track) * DEG2RAD);
            if (std::fabs(change) > 1.0 * DEG2RAD)
                s.samples[i].pos.bank = change > 0 ? -25.0 * DEG2RAD : 25.0 * DEG2RAD;
        }
    }
    s.ticks = lf_lastArrival(s.samples) + 3000 + 500;
    return s;
}

}  // namespace

std::vector<std::string> gf_builtInScenarioNames() {
    return {"approach",          "departure", "pushback-left", "pushback-right",
            "pushback-straight", "pull-out",  "turns",         "turns-banked"};
}

std::optional<Scenario> gf_builtInScenario(const std::string& name) {
    const auto runway = gf_parseRunwayRow(kTestRunwayRow);
    if (!runway) return std::nullopt;
    if (name == "approach") {
        Scenario s = lf_atTestAirport(name);
        s.samples = gf_samplesAlong(gf_approachPath((*runway)[0]), s.terrainFt, 0, 5.0);
        s.ticks = lf_lastArrival(s.samples) + 3000 + 1000;
        return s;
    }
    if (name == "departure") {
        Scenario s = lf_atTestAirport(name);
        s.samples = gf_samplesAlong(gf_departurePath((*runway)[1]), s.terrainFt, 0, 5.0);
        s.ticks = lf_lastArrival(s.samples) + 3000 + 1000;
        return s;
    }
    if (name == "pushback-left") return lf_pushback(name, 1);
    if (name == "pushback-right") return lf_pushback(name, -1);
    if (name == "pushback-straight") return lf_pushback(name, 0);
    if (name == "pull-out") return lf_pushback(name, 2);
    if (name == "turns") return lf_turns(name, false);
    if (name == "turns-banked") return lf_turns(name, true);
    return std::nullopt;
}

}  // namespace skh::lab
