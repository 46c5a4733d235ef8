// A whole run at the park airport: the user aircraft stands at Zurich, whose
// stand file the download server holds (the server lacked it in an earlier
// run) and whose learned file switches the automatic range on. A live
// aircraft lands on runway 14, rolls out, turns off, stops short of the free
// stand G1, drives onto it and parks. Closing the program saves what was
// learned; reading the airport again gives the stand that option.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "aircraft/dbase.hpp"
#include "airports/airport.hpp"
#include "airports/park_airport_load.hpp"
#include "airports/stand_locations.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/datasets.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "support/http_server.hpp"
#include "support/in_process_run.hpp"
#include "traffic/stand_learning.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Point {
    double lat;
    double lon;
};

// Flat-earth step, as the demo's traffic makes it.
Point move(Point p, double trackDeg, double nm) {
    const double t = trackDeg * DEG2RAD;
    return {p.lat + nm * std::cos(t) / 60.0, p.lon + nm * std::sin(t) / (60.0 * std::cos(p.lat * DEG2RAD))};
}

constexpr Point kThreshold14{47.483101, 8.53473};
constexpr Point kThreshold32{47.4613, 8.56446};
constexpr Point kUserStand{47.4534, 8.5617};
constexpr double kElevation = 1402.0;

const std::string kMeta =
    R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta>)";

std::string param(const std::string& key, const std::string& value) {
    return R"(<parameter name=")" + key + R"(" value=")" + value + R"("/>)";
}

struct Report {
    Point p;
    double alt;  // 0 on the ground
    double gs;
    double track;
    double vs;
};

class ParkAirportRunThreaded : public test::InProcessRun {
protected:
    ParkAirportRunThreaded()
        : InProcessRun({40.0, std::chrono::milliseconds(25),
                        R"(  <parameter name="SCAN_AIRPORTS" value="false"/>
  <parameter name="AUTO_RANGE" value="false"/>
  <parameter name="RANGE" value="40"/>
  <parameter name="LOG" value="true"/>
  <parameter name="LEARN_SOFT" value="false"/>
  <parameter name="PARK_FAKE" value="false"/>
)"}) {}

    void SetUp() override {
        gf_clearDbase();
        g_knownTypes.insert("A320");
        g_largeTypes.insert("A320");
        g_icaoAirlines.insert("SWR");
        g_wingspans["A320"] = 17.9 / 1852.0;
        InProcessRun::SetUp();
        m_sim.setGroundElevation(kElevation);
        m_sim.placeUser(kUserStand.lat, kUserStand.lon, std::nullopt, 137.0);
        m_sim.startFrames(30.0);
    }
    void TearDown() override {
        InProcessRun::TearDown();
        gf_clearStockProbes();
        gf_clearParkAirport();
        g_stands.clear();
        gf_clearDbase();
    }

    // The arrival the demo's traffic flies: a 3 nm final at 140 kt on a 3
    // degree path, the roll-out, the turn off and the stop; reports every 2 s.
    std::vector<Report> arrival() {
        const double track = 137.0;
        std::vector<Report> r;
        for (double d = 3.0; d > 0.0; d -= 140.0 * 2.0 / 3600.0)
            r.push_back({move(kThreshold14, track + 180.0, d), kElevation + d * 6076.11549 * std::tan(3.0 * DEG2RAD),
                         140.0, track, -740.0});
        double d = 0.05;
        for (double gs = 130.0; gs > 15.0; gs = std::max(15.0, gs - 12.0)) {
            r.push_back({move(kThreshold14, track, d), 0.0, gs, track, 0.0});
            d += gs * 2.0 / 3600.0;
        }
        const Point exit = move(kThreshold14, track, d);
        const double off = track + 90.0;
        for (int k = 1; k <= 8; ++k) r.push_back({move(exit, off, 0.012 * k), 0.0, 15.0, off, 0.0});
        const Point rest = r.back().p;
        for (int k = 0; k < 3; ++k) r.push_back({rest, 0.0, 0.0, off, 0.0});
        m_standAt = move(rest, off, 15.0 / 1852.0);
        return r;
    }

    static std::string line(const Report& r, double t) {
        const std::string track = skh::format("{:.1f}", r.track);
        return test::TrafficLineBuilder()
            .set(1, "4840100")
            .set(2, skh::format("{:.6f}", r.p.lat))
            .set(3, skh::format("{:.6f}", r.p.lon))
            .set(4, skh::format("{:.0f}", r.alt))
            .set(5, skh::format("{:.0f}", r.vs))
            .set(7, track)
            .set(8, skh::format("{:.0f}", r.gs))
            .set(14, skh::format("{:.2f}", 1700000000.0 + t))
            .set(18, skh::format("{:.0f}", r.alt))
            .set(20, skh::format("{:.0f}", r.alt > 0.0 ? r.gs : -1.0))
            .set(25, track)
            .text();
    }

    std::string standFile() const {
        const auto parkpos = [](const std::string& id, Point p, double heading) {
            return skh::format(
                R"(<parkpos id="{}" latitude="{:.6f}" longitude="{:.6f}" heading="{:.1f}" radius="22.0" )"
                R"(cargo="false" ramp="false"/>)",
                id, p.lat, p.lon, heading);
        };
        return "<?xml version=\"1.0\"?>" + kMeta + "<parameters>" + param("airport_name", "Zurich") +
               param("publisher", "stock") + param("altitude", "1416") + param("num_parkpos", "2") +
               "</parameters><parkpositions>" + parkpos("U1", kUserStand, 137.0) + parkpos("G1", m_standAt, 227.0) +
               "</parkpositions>";
    }

    test::TempDir m_site;
    test::HttpServer m_server{m_site.path()};
    test::ScopedEnv m_siteUrl{kDownloadUrlVariable, m_server.url()};
    Point m_standAt{};
};

TEST_F(ParkAirportRunThreaded, AnArrivalParksAtAStandAndTheLearnedFileKeepsIt) {
    const std::vector<Report> reports = arrival();
    // An earlier run found no stock file of LSZH on the server; it has one now.
    const fs::path program = m_env.folder(test::ScTestEnv::Folder::Current);
    {
        const test::ScopedCwd cwd(program);
        ASSERT_FALSE(lf_stockAirportAvailable("LSZH"));
    }
    test::writeFile(m_site.path() / "P3D/archive/stock/LSZH.xml", standFile());
    const fs::path learned = program / g_learnedStockFolder / "LSZH.xml";
    test::writeFile(learned, "<?xml version=\"1.0\"?>" + kMeta + "<parameters>" + param("airport_name", "Zurich") +
                                 param("AUTO_RANGE", "true") + param("MAX_FIT", "20") +
                                 "</parameters><parkpositions/>");

    startWorker();
    connectRealTraffic();
    ASSERT_TRUE(test::waitUntil([] { return g_trafficReader.boundPort.load() != 0; }));
    const auto port = static_cast<std::uint16_t>(g_trafficReader.boundPort.load());
    ASSERT_TRUE(test::waitUntil([] { return g_parkAirportLoaded.load(); }, 20s)) << m_log.text();
    // The learned file's settings: the range from the user aircraft on the
    // ground, 20 half-hours as 10 hours.
    ASSERT_TRUE(test::waitUntil([] { return RANGE.value.load() == 10; }, 20s)) << m_log.text();
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 10.0f);

    // One report every 2 s of the program's polls.
    double t = 0.0;
    for (const Report& r : reports) {
        const std::uint32_t tick = trafficTick.load();
        ASSERT_TRUE(m_rt.sendDatagram(port, line(r, t)));
        ASSERT_TRUE(test::waitUntil([&] { return trafficTick.load() - tick >= 200; }, 20s));
        t += r.gs > 0.0 ? 2.0 : 8.0;
    }
    ASSERT_TRUE(test::waitUntil([this] { return m_log.contains("SWR123   arrived at stand"); }, 30s)) << m_log.text();
    EXPECT_TRUE(m_log.contains("G1      : SWR123   arrived at stand")) << m_log.text();
    // The stand learns the aircraft just after the line above.
    EXPECT_TRUE(test::waitUntil([] { return g_learnedChanges.load() >= 1; })) << m_log.text();
    // It came down on the runway and stood where the stand is.
    const auto positions = m_sim.lastPositions();
    ASSERT_EQ(positions.size(), 1u);
    const auto& at = positions.begin()->second;
    EXPECT_LT(gf_distanceNm({at.latitude, at.longitude}, {m_standAt.lat, m_standAt.lon}) * 1852.0, 2.5);

    gf_requestClose();
    EXPECT_EQ(joinWorker(), ClosingOutcome::Quit);
    const std::string saved = test::readFile(learned);
    EXPECT_NE(saved.find(R"(<parkpos id="G1")"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"(reg="HB-JLT")"), std::string::npos) << saved;
    EXPECT_TRUE(fs::exists(program / g_learnedStockFolder / "LSZH0.xml"));  // the file it replaced

    // Read again, the stand has the option of the aircraft that parked there.
    const test::ScopedCwd cwd(program);
    gf_setParkAirport(*gf_findAirport("LSZH"));
    g_stands.clear();
    ApfInfo info;
    std::uint64_t qf = 0;
    ASSERT_EQ(gf_readApf("archive/stock/LSZH.xml", info, qf), "");
    const auto g1 = std::find_if(g_stands.begin(), g_stands.end(), [](const Stand& s) { return s.name == "G1"; });
    ASSERT_NE(g1, g_stands.end());
    ASSERT_EQ(g1->options.size(), 1u);
    EXPECT_EQ(g1->options[0].registration, "HB-JLT");
    EXPECT_EQ(g1->options[0].airline, "SWR");
    EXPECT_EQ(g1->options[0].real, 1u);
}

}  // namespace
}  // namespace skh
