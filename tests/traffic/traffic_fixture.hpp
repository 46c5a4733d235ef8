#pragma once
// Shared helpers of the traffic control tests: a simulator port that records
// what the traffic control asks of the simulator, services with a fake clock
// and livery matching, a small aircraft database, samples, and the state of
// a fresh run.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "airports/airport.hpp"
#include "app/app_state.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/parameter_table.hpp"
#include "simclient/sim_events.hpp"
#include "simclient/sim_ids.hpp"
#include "support/movement_lab.hpp"
#include "support/test_env.hpp"
#include "traffic/intake.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/traffic_driver.hpp"
#include "traffic/traffic_state.hpp"

namespace skh::test {

struct PortEvent {
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t value = 0;
    bool operator==(const PortEvent&) const = default;
};

// Records every call; the answers of the direct calls can be set.
class RecordingSimPort final : public SimPort {
public:
    std::vector<PortEvent> events;  // lights appear as their seven events
    std::vector<AddRequest> creates;
    std::vector<std::uint32_t> creatTicks;  // trafficTick of each hand-over
    std::vector<std::uint32_t> removes;
    std::vector<std::uint32_t> removeTicks;
    std::vector<std::uint32_t> rangeRequestTicks;
    std::vector<std::uint32_t> staticCgRequests;
    std::vector<std::uint32_t> lightToggles;
    std::vector<std::pair<std::uint32_t, std::array<double, 3>>> controlBlocks;
    std::vector<std::pair<std::uint32_t, std::string>> flightPlans;
    std::vector<PositionUpdate> back, front;
    std::size_t swaps = 0;
    bool failed = false;
    bool callsFail = false;  // every direct call fails
    int requestErrors = 0;
    UserAcState user;
    bool onGround = false;

    void queueEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) override {
        events.push_back({objectId, eventId, value});
    }
    void queueLights(std::uint32_t objectId, const std::array<std::uint32_t, 7>& v) override {
        static constexpr std::uint32_t kOrder[7] = {
            EVENT_NAV_LIGHTS_SET, EVENT_BEACON_LIGHTS_SET, EVENT_LANDING_LIGHTS_SET, EVENT_TAXI_LIGHTS_SET,
            EVENT_STROBES_SET,    EVENT_LOGO_LIGHTS_SET,   EVENT_CABIN_LIGHTS_SET};
        for (int i = 0; i < 7; ++i) events.push_back({objectId, kOrder[i], v[static_cast<std::size_t>(i)]});
    }
    void queueCreate(const AddRequest& r) override {
        creates.push_back(r);
        creatTicks.push_back(trafficTick.load());
    }
    void queueRemove(std::uint32_t objectId) override {
        removes.push_back(objectId);
        removeTicks.push_back(trafficTick.load());
    }
    bool requestWithinRange(std::uint32_t) override {
        rangeRequestTicks.push_back(trafficTick.load());
        return !callsFail;
    }
    bool requestStaticCg(std::uint32_t objectId) override {
        staticCgRequests.push_back(objectId);
        return !callsFail;
    }
    bool toggleAllLights(std::uint32_t objectId) override {
        lightToggles.push_back(objectId);
        return !callsFail;
    }
    bool setControlBlock(std::uint32_t objectId, const std::array<double, 3>& v) override {
        controlBlocks.push_back({objectId, v});
        return !callsFail;
    }
    bool setFlightPlan(std::uint32_t objectId, const std::string& path) override {
        flightPlans.push_back({objectId, path});
        return !callsFail;
    }
    bool requestFailed() const override { return failed; }
    void requestError() override {
        ++requestErrors;
        failed = true;
    }
    std::vector<PositionUpdate>& positionBack() override { return back; }
    bool swapPositions() override {
        front.swap(back);
        back.clear();
        ++swaps;
        return true;
    }
    UserAcState requestUserPosition() override { return user; }
    bool userOnGround() const override { return onGround; }

    // The events of one object, or of one kind.
    std::vector<PortEvent> eventsOf(std::uint32_t objectId) const {
        std::vector<PortEvent> out;
        for (const auto& e : events)
            if (e.objectId == objectId) out.push_back(e);
        return out;
    }
    std::size_t count(std::uint32_t objectId, std::uint32_t eventId) const {
        return static_cast<std::size_t>(std::count_if(events.begin(), events.end(), [&](const PortEvent& e) {
            return e.objectId == objectId && e.eventId == eventId;
        }));
    }
};

// A settings value for the scope of a test.
template <class P, class V>
class ScopedSetting {
public:
    ScopedSetting(P& p, V v) : m_p(p), m_old(p.value.load()) { p.value = v; }
    ~ScopedSetting() { m_p.value = m_old; }

private:
    P& m_p;
    V m_old;
};

// A fresh run of the traffic control on the recording port, with the
// database types A320 (Large), B744 (Heavy), CRJ9 (Buzjets), C172 (Light),
// EC35 (Rotorcraft) and F16 (HighPerf), and liveries for every type except
// the ones named in `noLivery`.
class TrafficTest : public ::testing::Test {
protected:
    RecordingSimPort port;
    ScopedLog log;
    std::int64_t nowMs = 1000000;
    std::set<std::string> titles;  // the livery texts the views point into
    std::set<std::string> noLivery;
    std::map<std::string, DbaseRecord> registrations;
    std::vector<std::string> uncreatable;
    int userPositionsSent = 0;

    void SetUp() override {
        gf_resetStopState();
        lab::gf_labTypes();
        gf_reserveTrafficContainers();
        gf_resetTraffic();
        gf_setSimPort(&port);
        TrafficServices& s = gf_trafficServices();
        s.steadyMs = [this] { return nowMs; };
        s.randomBelow = [](std::int64_t) { return 0; };
        s.matchLiveryForSpawn = [this](FlightIdent& f) {
            if (noLivery.count(f.type) != 0) return;
            f.liveryTitle = *titles.insert("Livery " + f.airline + " " + f.type).first;
        };
        s.reportUncreatable = [this](const FlightIdent& f) { uncreatable.push_back(f.callsign); };
        s.findRegistration = [this](std::string_view reg) -> std::optional<DbaseRecord> {
            const auto it = registrations.find(std::string(reg));
            if (it == registrations.end()) return std::nullopt;
            return it->second;
        };
        s.isKnownType = [](std::string_view type) { return gf_isKnownType(type); };
        s.sendUserPosition = [this] { ++userPositionsSent; };
        trafficTick = 0;
        g_rangeMetres = 40 * 1852;
        port.user.latitude = 47.0;
        port.user.longitude = 8.0;
        port.user.altitude = 30000.0;
        port.user.altitudeAboveGround = 29000.0;
        g_userAc = port.user;
        gf_setTrafficAccepted(true);
    }

    void TearDown() override {
        gf_resetTraffic();
        gf_setSimPort(nullptr);
        gf_resetTrafficServices();
        gf_setTrafficAccepted(false);
        gf_clearDbase();
        gf_resetStopState();
        trafficTick = 0;
    }

    void polls(int n) {
        for (int i = 0; i < n; ++i) lf_handleAddingStack();
    }

    // A sample as the feed hands it over: due trafficTick + 3000.
    static TrafficSample sample(std::uint32_t act, const std::string& callsign, const std::string& type, double lat,
                                double lon, double altitude, double groundSpeed, double track, double timestamp) {
        TrafficSample s;
        s.actNumber = act;
        s.ident.callsign = callsign;
        s.ident.type = type;
        s.pos.lat = lat;
        s.pos.lon = lon;
        s.pos.altitude = altitude;
        s.pos.groundSpeed = groundSpeed;
        s.pos.track = track;
        s.pos.trueAirspeed = groundSpeed;
        s.pos.airborne = altitude > 0.0 ? 1 : 0;
        s.pos.dueTick = static_cast<std::int32_t>(trafficTick.load() + kTrafficDelayTicks);
        s.timestamp = timestamp;
        return s;
    }
    // An airliner cruising north-east, one sample per call `n` (5 s apart).
    static TrafficSample cruise(std::uint32_t act, const std::string& callsign, int n, double lat = 47.5) {
        TrafficSample s =
            sample(act, callsign, "A320", lat + 0.01 * n, 8.5 + 0.01 * n, 20000.0, 400.0, 37.0, 1000.0 + 5.0 * n);
        s.pos.dueTick += 500 * n;
        return s;
    }

    void push(TrafficSample s) { ASSERT_TRUE(gf_pushTrafficSample(std::move(s))); }
    // Hands a sample straight to the intake (its due tick as made).
    static void take(TrafficSample s) { lf_handleIncoming(s); }

    static LiveAc* live(std::uint32_t act) { return gf_findLiveByAct(act); }

    // The simulator adopts the object of a created aircraft.
    static void adopt(std::uint32_t act, std::uint32_t objectId, double aboveGround = 5000.0) {
        SimEvent e;
        e.kind = act > 10000 ? SimEventKind::objectCreated : SimEventKind::staticObjectCreated;
        e.objectId = objectId;
        e.actNumber = act;
        e.b = aboveGround;
        gf_pushSimEvent(e);
    }
    static void simEvent(SimEventKind kind, std::uint32_t objectId, std::uint32_t act = 0, double a = 0.0,
                         double b = 0.0, std::uint32_t third = 0) {
        SimEvent e;
        e.kind = kind;
        e.objectId = objectId;
        e.actNumber = act;
        e.a = a;
        e.b = b;
        e.reserved = third;
        gf_pushSimEvent(e);
    }

    // Feeds a cruising aircraft and runs the polls until it is handed over
    // for creation; returns its request. The aircraft is then adopted as
    // `objectId` and made active after its 200 polls.
    LiveAc& activeCruiser(std::uint32_t act, const std::string& callsign, std::uint32_t objectId, double lat = 47.5) {
        for (int n = 0; n < 8; ++n) take(cruise(act, callsign, n, lat));
        while (live(act) != nullptr && std::none_of(port.creates.begin(), port.creates.end(),
                                                    [&](const AddRequest& r) { return r.actNumber == act; }))
            polls(1);
        EXPECT_NE(live(act), nullptr);
        adopt(act, objectId);
        polls(kActivationTicks);
        EXPECT_EQ(live(act)->status, AcStatus::active);
        return *live(act);
    }
    static constexpr int kActivationTicks = 201;
};

}  // namespace skh::test
