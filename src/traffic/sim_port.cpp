#include "traffic/sim_port.hpp"

#include <chrono>
#include <mutex>

#include "aircraft/liveries.hpp"
#include "feed/realtraffic_link.hpp"
#include "foundation/random.hpp"
#include "platform/codepage.hpp"
#include "simclient/sim_ids.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simconnect/simconnect.hpp"

namespace skh {

namespace {

// The SimClient's queues and the SimConnect client under simQueueMutex.
class SimClientPort final : public SimPort {
public:
    void queueEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) override {
        gf_queueEvent({objectId, eventId, value});
    }
    void queueLights(std::uint32_t objectId, const std::array<std::uint32_t, 7>& values) override {
        gf_queueLights(objectId, values.data());
    }
    void queueCreate(const AddRequest& request) override { gf_queueCreate(request); }
    void queueRemove(std::uint32_t objectId) override { gf_queueRemove(objectId); }

    bool requestWithinRange(std::uint32_t radiusMetres) override {
        return call([&](HANDLE h) {
            return SimConnect_RequestDataOnSimObjectType(h, REQUEST_WITHIN_RANGE, DEFINITION_WITHIN_RANGE, radiusMetres,
                                                         ScSimObjectType::Aircraft);
        });
    }
    bool requestStaticCg(std::uint32_t objectId) override {
        return call([&](HANDLE h) {
            return SimConnect_RequestDataOnSimObject(h, REQUEST_STATIC_CG, DEFINITION_STATIC_CG, objectId,
                                                     ScPeriod::Once, 0, 0, 0, 0);
        });
    }
    bool toggleAllLights(std::uint32_t objectId) override {
        return call([&](HANDLE h) {
            return SimConnect_TransmitClientEvent(h, objectId, EVENT_ALL_LIGHTS_TOGGLE, 0, GROUP_AI, 0);
        });
    }
    bool setControlBlock(std::uint32_t objectId, const std::array<double, 3>& values) override {
        return call([&](HANDLE h) {
            return SimConnect_SetDataOnSimObject(h, DEFINITION_AI_CONTROL, objectId, 0, 0,
                                                 static_cast<std::uint32_t>(sizeof(values)), values.data());
        });
    }
    bool setFlightPlan(std::uint32_t objectId, const std::string& path) override {
        const std::string narrow = platform::utf8ToCp1252(path);
        return call([&](HANDLE h) {
            return SimConnect_AISetAircraftFlightPlan(h, objectId, narrow.c_str(), REQUEST_FLIGHT_PLAN);
        });
    }
    // A user error of the SimClient thread closed the connection on purpose:
    // nothing is asked on it, and nothing counts as failed.
    bool requestFailed() const override { return simRequestFailed.load() || gf_simUserErrorShown(); }
    void requestError() override { gf_requestError(); }

    std::vector<PositionUpdate>& positionBack() override { return positionBuffers.back; }
    bool swapPositions() override { return gf_swapPositionBuffers(); }

    UserAcState requestUserPosition() override { return gf_requestUserPosition(); }
    bool userOnGround() const override { return skh::userOnGround.load(); }

private:
    template <class F>
    static bool call(F&& f) {
        const std::lock_guard lock(simQueueMutex);
        if (simRequestFailed.load() || gf_simUserErrorShown()) return true;
        return f(simConnectHandle) >= 0;
    }
};

SimClientPort g_simClientPort;
SimPort* g_port = &g_simClientPort;

TrafficServices lf_programServices() {
    TrafficServices s;
    s.steadyMs = [] { return gf_steadyMs(); };
    s.steadyUs = [] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    s.randomBelow = [](std::int64_t n) { return gf_randomIndex(n); };
    s.matchLiveryForSpawn = [](FlightIdent& ac) { gf_matchLiveryForSpawn(ac); };
    s.matchStaticLivery = [](FlightIdent& ac, bool standCargo, std::string_view standName) {
        return gf_matchLivery(ac, standCargo, standName);
    };
    s.reportUncreatable = [](const FlightIdent& ac) { lf_reportUncreatable(ac); };
    s.findRegistration = [](std::string_view registration) { return gf_findDbaseRecord(registration); };
    s.isKnownType = [](std::string_view type) { return gf_isKnownType(type); };
    s.sendUserPosition = [] { gf_sendUserPosition(); };
    return s;
}

TrafficServices g_services = lf_programServices();

}  // namespace

SimPort& gf_simPort() { return *g_port; }

void gf_setSimPort(SimPort* port) { g_port = port != nullptr ? port : &g_simClientPort; }

TrafficServices& gf_trafficServices() { return g_services; }

void gf_resetTrafficServices() { g_services = lf_programServices(); }

}  // namespace skh
