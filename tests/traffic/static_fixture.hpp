#pragma once
// A park airport for the static parking tests: stands read from a stand
// file's parkpositions, a fixed time of the week (the RealTraffic time
// source), liveries for every type but those in noLivery, and the settings
// of a plan that leaves nothing to chance.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "airports/airport.hpp"
#include "airports/stand.hpp"
#include "airports/stand_file.hpp"
#include "foundation/format.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "traffic/static_parking.hpp"
#include "traffic/static_plan.hpp"
#include "traffic_fixture.hpp"

namespace skh::test {

class StaticParkingTest : public TrafficTest {
protected:
    ScopedSetting<BoolParameter, bool> random{RANDOM, false};
    ScopedSetting<BoolParameter, bool> week{WEEK, false};
    ScopedSetting<BoolParameter, bool> helicopters{HELICOPTERS, false};
    ScopedSetting<BoolParameter, bool> parkSoft{PARK_SOFT, true};
    ScopedSetting<BoolParameter, bool> parkFake{PARK_FAKE, false};
    ScopedSetting<BoolParameter, bool> initialOnly{INITIAL_LOAD_ONLY, false};
    ScopedSetting<BoolParameter, bool> detail{LOG, true};
    ScopedSetting<IntChoiceParameter, int> percentage{parking_percentage, 50};
    ScopedSetting<IntParameter, int> custom{CUSTOM_PARKING_PERCENTAGE, -1};
    ScopedSetting<IntChoiceParameter, int> maxPark{MAX_PARK_SEL, 100};
    ScopedSetting<IntUiParameter, int> maxFit{MAX_FIT, 47};
    std::vector<bool> busy;  // each switch of the busy state

    void SetUp() override {
        TrafficTest::SetUp();
        gf_trafficServices().matchStaticLivery = [this](FlightIdent& f, bool, std::string_view) {
            if (noLivery.count(f.type) != 0) return false;
            f.liveryTitle = *titles.insert("Static " + f.airline + " " + f.type).first;
            return true;
        };
        gf_setStaticParkingCalls({[this](bool on) { busy.push_back(on); }, {}});
        g_staticActCounter = 0;
        // Half spans, nm.
        g_wingspans = {{"A320", 0.0097}, {"B744", 0.0174}, {"C172", 0.003}, {"CRJ9", 0.0066}, {"EC35", 0.0028}};
        gf_setParkAirport(Airport{"LSZH", "ZRH", 47.45, 8.55, 1416.0});
        setTime(3, 20);
    }
    void TearDown() override {
        gf_setStaticParkingCalls({});
        g_rtProfessional = false;
        g_trafficTime = 0.0;
        TrafficTest::TearDown();
    }

    // The time source at a weekday (1 Monday) and half-hour slot, `minute`
    // minutes into it.
    static void setTime(int weekday, int slot, int minute = 10) {
        constexpr double kMonday = 345600.0 + 2900.0 * 604800.0;  // a Monday 00:00 UTC
        g_rtProfessional = true;
        g_trafficTime = kMonday + (weekday - 1) * 86400.0 + slot * 1800.0 + minute * 60.0;
        g_weekSlot = gf_weekdayAndSlot();
    }

    // Reads the stands of a parkpositions element and numbers them; stands
    // are 0.001 degrees (111 m) apart unless the text says otherwise.
    static void loadStands(const std::string& parkpositions) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(parkpositions.c_str()));
        g_stands.clear();
        gf_readStandList(doc, 1, g_stands, StandLists::First);
        for (std::size_t i = 0; i < g_stands.size(); ++i) g_stands[i].id = static_cast<std::uint32_t>(i + 1);
    }
    static std::string stand(const std::string& name, int index, const std::string& options,
                             const std::string& extra = "") {
        return skh::format(
            R"(<parkpos id="{}" latitude="{:.4f}" longitude="8.55" heading="90" radius="30" {}>{}</parkpos>)", name,
            47.45 + 0.001 * index, extra, options);
    }
    static std::string opt(const std::string& reg, const std::string& airline, const std::string& type, int day,
                           const std::string& hh, const std::string& cs, bool soft = false) {
        return skh::format(R"(<opt reg="{}" airl="{}" type="{}" day="{}" hh="{}" cs="{}"{}/>)", reg, airline, type, day,
                           hh, cs, soft ? R"( soft="true")" : "");
    }
    static Stand& standNamed(const std::string& name) {
        for (Stand& s : g_stands) {
            if (s.name == name) return s;
        }
        throw std::out_of_range(name);
    }
    static void adjacent(const std::string& a, const std::string& b) {
        standNamed(a).adjacent.push_back(standNamed(b).id);
        standNamed(b).adjacent.push_back(standNamed(a).id);
    }

    // A live aircraft standing active at a stand, parked `minutes` ago.
    LiveAc& parkedLive(std::uint32_t act, const std::string& callsign, const std::string& standName,
                       std::int64_t minutes, AcState state = AcState::parked) {
        const Stand& s = standNamed(standName);
        PosSample first;
        first.lat = s.lat;
        first.lon = s.lon;
        IdentStrings id;
        id.airline = callsign.substr(0, 3);
        id.type = "A320";
        id.callsign = callsign;
        LiveAc ac(first, FlightIdent(std::move(id)), 1000.0);
        ac.actNumber = act;
        ac.status = AcStatus::active;
        ac.moveState = state;
        ac.standId = s.id;
        ac.standLat = s.lat;
        ac.standLon = s.lon;
        lf_setObjectId(ac, act % 10000 + 5000);
        ac.parkedAtMs = nowMs - minutes * 60000;
        return lf_appendLiveAc(std::move(ac));
    }

    // A static aircraft made active at a stand, placed at a week slot.
    static StaticAc& activeStatic(std::uint32_t act, const std::string& callsign, const std::string& standName,
                                  std::uint64_t placed, const std::string& type = "A320") {
        const Stand& s = standNamed(standName);
        IdentStrings id;
        id.airline = callsign.substr(0, 3);
        id.type = type;
        id.callsign = callsign;
        StaticAc st(FlightIdent(std::move(id)), s.lat, s.lon, s.heading, s.id, 0);
        st.actNumber = act;
        st.status = AcStatus::active;
        st.objectId = act + 7000;
        st.parkedSince = placed;
        g_staticAc.push_back(std::move(st));
        return g_staticAc.back();
    }

    static std::uint64_t weekSlot(int weekday, int slot) {
        return (static_cast<std::uint64_t>(slot) << 32) | static_cast<std::uint32_t>(weekday);
    }
    static std::vector<std::string> planStands() {
        std::vector<std::string> out;
        for (const ParkPos& p : g_parkPositions) out.push_back(gf_standNameOf(p.standId));
        return out;
    }
    const AddRequest* created(const std::string& callsign) const {
        for (const AddRequest& r : port.creates) {
            if (r.callsign == callsign) return &r;
        }
        return nullptr;
    }
    static StaticAc* staticNamed(const std::string& callsign) {
        for (StaticAc& st : g_staticAc) {
            if (st.callsign == callsign) return &st;
        }
        return nullptr;
    }
};

}  // namespace skh::test
