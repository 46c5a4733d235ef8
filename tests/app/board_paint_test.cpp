#include "app/board_paint.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "airports/airport.hpp"
#include "airports/airport_scan.hpp"
#include "airports/park_airport_load.hpp"
#include "app/main_window.hpp"
#include "app_fixture.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "traffic/stand_learning.hpp"

namespace skh {
namespace {

using platform::ColorRef;
using platform::PaintOp;
using platform::Rect;

// The board as painted now.
struct Board {
    std::vector<PaintOp> ops;
    Board() {
        platform::RecordingSurface r;
        lf_paintWindow(r);
        ops = std::move(r.ops);
    }
    // The last text drawn at (x, y).
    std::optional<PaintOp> textAt(int x, int y) const {
        std::optional<PaintOp> found;
        for (const auto& op : ops) {
            if (op.kind == PaintOp::Kind::Text && op.rect.left == x && op.rect.top == y) found = op;
        }
        return found;
    }
    std::u16string text(int x, int y) const {
        const auto op = textAt(x, y);
        return op ? op->text : u"<none>";
    }
    ColorRef colour(int x, int y) const {
        const auto op = textAt(x, y);
        return op ? op->colour : 0xDEADBEEF;
    }
    // The colour of the last fill of exactly this area.
    ColorRef fill(const Rect& r) const {
        ColorRef c = 0xDEADBEEF;
        for (const auto& op : ops) {
            if (op.kind == PaintOp::Kind::Fill && op.rect == r) c = op.colour;
        }
        return c;
    }
    bool hasLine(const Rect& r, ColorRef c) const {
        for (const auto& op : ops) {
            if (op.kind == PaintOp::Kind::Line && op.rect == r && op.colour == c) return true;
        }
        return false;
    }
    std::size_t textsIn(const Rect& area) const {
        std::size_t n = 0;
        for (const auto& op : ops) {
            if (op.kind == PaintOp::Kind::Text && op.rect.top >= area.top && op.rect.top < area.bottom) ++n;
        }
        return n;
    }
};

class BoardPaint : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        gf_resetBoard();
        gf_clearErrorMessage();
        gf_clearParkAirport();
        gf_clearBadTexts();
    }
    void TearDown() override {
        gf_resetBoard();
        gf_clearParkAirport();
        gf_setBoard(g_tbloFileCount, 0);
        g_parkAirportLoaded = false;
        g_learnedChanges = 0;
        g_mainWindowState.parkingBusy = false;
        platform::destroyAllControls();
        AppTest::TearDown();
    }
};

TEST_F(BoardPaint, AreasLinesAndTheLampsFollowTheState) {
    auto& b = g_mainWindowState;
    Board fresh;
    EXPECT_EQ(fresh.fill(kHeaderArea), 0x000000u);
    EXPECT_EQ(fresh.fill(kBoardArea), 0x000000u);
    EXPECT_EQ(fresh.fill(kSettingsArea), 0xFFCC99u);
    EXPECT_EQ(fresh.fill(kStatisticsArea), 0x000000u);
    EXPECT_EQ(fresh.fill(kStatusArea), 0x32CD32u);
    for (const int y : {28, 113, 449, 392}) EXPECT_TRUE(fresh.hasLine({0, y, 880, y}, 0xFFFFFF)) << y;
    for (const int y : {140, 308}) EXPECT_TRUE(fresh.hasLine({0, y, 880, y}, 0x000000)) << y;
    for (const int y : {168, 196, 224, 252, 280}) EXPECT_TRUE(fresh.hasLine({0, y, 642, y}, 0x000000)) << y;
    EXPECT_TRUE(fresh.hasLine({642, 140, 642, 308}, 0x000000));
    EXPECT_TRUE(fresh.hasLine({425, 29, 425, 112}, 0x000000));
    EXPECT_EQ(fresh.text(3, 7), u"Version 11.3.0");
    EXPECT_EQ(fresh.text(390, 7), u"Skyhaven_P3D");
    // Not connected: a red lamp, nothing at x 5 but the counts.
    EXPECT_EQ(fresh.fill(kSimLampArea), kRed);
    EXPECT_EQ(fresh.text(5, 35), u"<none>");
    EXPECT_EQ(fresh.text(5, 63), u"<none>");
    EXPECT_EQ(fresh.text(5, 91), u"# liveries: ...");
    EXPECT_EQ(fresh.colour(5, 91), kRed);
    EXPECT_EQ(fresh.text(141, 91), u"# simaddon: ...");
    EXPECT_EQ(fresh.colour(141, 91), kYellow);
    EXPECT_EQ(fresh.text(278, 91), u"# thirdp: ...");
    EXPECT_EQ(fresh.fill(kRealTrafficLampArea), kBlack);  // idle
    EXPECT_EQ(fresh.text(458, 35), u"<none>");

    // The simulator lamp: red -> yellow (connected) -> green (running with a title).
    gf_setBoard(b.simConnectConnected, true);
    gf_setBoard(b.simulatorName, "Prepar3D v5 (5.4.9.28482)");
    gf_setBoard(b.userStand, "GATE A12");
    Board connected;
    EXPECT_EQ(connected.fill(kSimLampArea), kYellow);
    EXPECT_EQ(connected.text(5, 35), u"Prepar3D v5 (5.4.9.28482), user stand GATE A12");
    EXPECT_EQ(connected.colour(5, 35), kYellow);
    gf_setBoard(b.simulatorRunning, true);
    EXPECT_EQ(Board().fill(kSimLampArea), kYellow) << "running, but no aircraft title yet";
    gf_setBoard(b.userAircraftTitle, "Cessna Skyhawk \xC3\xA9");
    Board running;
    EXPECT_EQ(running.fill(kSimLampArea), kGreen);
    EXPECT_EQ(running.text(5, 63), u"Cessna Skyhawk \u00E9");
    EXPECT_EQ(running.colour(5, 63), kGreen);
    gf_setBoard(b.userWingspanKnown, false);
    EXPECT_EQ(Board().colour(5, 63), kYellow);

    // Counts.
    gf_setBoard(b.liveriesCount, 1234);
    gf_setBoard(b.orbxAirportCount, 7);
    gf_setBoard(b.thirdpartyAirportCount, 3);
    gf_setBoard(g_airportsScanOk, false);
    Board counted;
    EXPECT_EQ(counted.text(5, 91), u"# liveries: 1234");
    EXPECT_EQ(counted.colour(5, 91), kGreen);
    EXPECT_EQ(counted.text(141, 91), u"# simaddon: 7");
    EXPECT_EQ(counted.colour(141, 91), kYellow);  // the last scan missed a folder
    EXPECT_EQ(counted.text(278, 91), u"# thirdp: 3");
    gf_setBoard(g_airportsScanOk, true);

    // RealTraffic: red without the link, green with an active reader, yellow stale.
    gf_setBoard(b.realTrafficIdle, false);
    EXPECT_EQ(Board().fill(kRealTrafficLampArea), kRed);
    gf_setBoard(b.realTrafficConnected, true);
    gf_setBoard(b.realTrafficEdition, "RT prof edition: 9.0.1");
    gf_setBoard(b.trafficLamp, LampActive);
    gf_setBoard(b.weatherLamp, LampActive);
    gf_setBoard(b.qnhShown, 0);
    gf_setBoard(b.liveCount, 12);
    Board linked;
    EXPECT_EQ(linked.fill(kRealTrafficLampArea), kGreen);
    EXPECT_EQ(linked.text(458, 35), u"RT prof edition: 9.0.1");
    EXPECT_EQ(linked.text(458, 63), u"Weather");
    EXPECT_EQ(linked.colour(458, 91), kGreen);
    EXPECT_EQ(linked.text(642, 63), u"");  // a QNH of 0 draws an empty text
    EXPECT_EQ(linked.text(642, 91), u"live:  12");
    gf_setBoard(b.qnhShown, 1013);
    gf_setBoard(b.trafficLamp, LampStale);
    gf_setBoard(b.weatherLamp, LampStopped);
    Board stale;
    EXPECT_EQ(stale.fill(kRealTrafficLampArea), kYellow);
    EXPECT_EQ(stale.colour(458, 91), kYellow);
    EXPECT_EQ(stale.text(458, 63), u"<none>");  // the QNH reader has not started
    EXPECT_EQ(stale.text(642, 63), u"<none>");

    // The error line: red, with the bare text in yellow; status texts wait.
    gf_setStatusMessage("Waiting for Prepar3Dv5 ...", false);
    EXPECT_EQ(Board().text(3, 455), u"Waiting for Prepar3Dv5 ...");
    gf_setErrorMessage("77: P3D version not found in SIM_INSTALL_PATH");
    gf_setStatusMessage("later", false);
    Board error;
    EXPECT_EQ(error.fill(kStatusArea), kRed);
    EXPECT_EQ(error.text(3, 455), u"77: P3D version not found in SIM_INSTALL_PATH");
    EXPECT_EQ(error.colour(3, 455), kYellow);
}

TEST_F(BoardPaint, EachValueHasOneSetterThatRepaintsOnlyOnAChange) {
    auto& b = g_mainWindowState;
    const auto before = platform::invalidateCount();
    EXPECT_TRUE(gf_setBoard(b.liveCount, 5));
    EXPECT_FALSE(gf_setBoard(b.liveCount, 5));
    EXPECT_TRUE(gf_setBoard(b.userStand, "B7"));
    EXPECT_FALSE(gf_setBoard(b.userStand, "B7"));
    EXPECT_FALSE(gf_setBoard(b.staticAvgFit, -1.0));
    EXPECT_EQ(platform::invalidateCount() - before, 2u);
}

TEST_F(BoardPaint, TheFortyNineSettingsLabels) {
    lf_createControls();
    gf_setBoard(g_tbloFileCount, 1);
    g_parkAirportLoaded = true;
    gf_setBoard(g_mainWindowState.nextRenewalMinutes, 7);
    INITIAL_LOAD_ONLY.value = false;
    Board all;
    EXPECT_EQ(all.textsIn(kSettingsArea), 49u);
    EXPECT_EQ(all.text(323, 175), u"1 airport in ZURI folder");
    EXPECT_EQ(all.text(5, 343), u"(next in 7 min)");
    EXPECT_EQ(all.text(5, 315), u"Airport parking");

    struct Case {
        const char* label;
        std::function<void()> change;
        int x, y;
        ColorRef before, after;
    };
    const Case cases[] = {
        {"Aerowinx on", [] { AEROWINX.value = true; }, 672, 203, kBlack, kYellow},
        {"GUID changes off", [] { GUID_CHANGES.value = false; }, 768, 203, kBlack, kYellow},
        {"Light aircraft disabled", [] { gf_enableControl(LIGHT_AIRCRAFT, false); }, 343, 203, kBlack, kGrey},
        {"Ah: without auto range", [] { AUTO_RANGE.value = false; }, 430, 231, kBlack, kGrey},
        {"Straight push backs on", [] { STRAIGHT_PBS_ONLY.value = true; }, 672, 315, kGrey, kBlack},
        {"Max park 0", [] { MAX_PARK_SEL.value = 0; }, 171, 315, kBlack, kYellow},
        {"Max park and live 0", [] { MAX_LIVE_SEL.value = 0; }, 401, 315, kBlack, kRed},
        {"Busy", [] { g_mainWindowState.parkingBusy = true; }, 5, 315, kBlack, kYellow},
    };
    AEROWINX.value = false;
    GUID_CHANGES.value = true;
    AUTO_RANGE.value = true;
    STRAIGHT_PBS_ONLY.value = false;
    MAX_PARK_SEL.value = 500;
    MAX_LIVE_SEL.value = 500;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Board().colour(c.x, c.y), c.before);
        c.change();
        EXPECT_EQ(Board().colour(c.x, c.y), c.after);
    }
    Board busy;
    EXPECT_EQ(busy.text(5, 315), u"Airport parking active");
    EXPECT_EQ(busy.text(5, 343), u"<none>");  // no renewal countdown while busy
}

TEST_F(BoardPaint, ParkingStatistics) {
    auto& b = g_mainWindowState;
    EXPECT_EQ(Board().textsIn(kStatisticsArea), 0u) << "no park airport";
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.46, 8.55, 1416});
    Board unread;
    EXPECT_EQ(unread.textsIn(kStatisticsArea), 1u);
    EXPECT_EQ(unread.text(5, 399), u"LSZH (ZRH)");
    EXPECT_EQ(unread.colour(5, 399), kYellow);

    gf_setBoard(b.parkFileOk, true);
    gf_setBoard(g_parkBoard.airportName, "Zurich");
    gf_setBoard(g_parkBoard.publisher, "simaddon");
    gf_setBoard(g_parkBoard.handmade, true);
    gf_setBoard(g_parkBoard.quality, "80/20");
    gf_setBoard(g_parkBoard.reservedStand, "E23");
    gf_setBoard(g_parkBoard.standCount, 145);
    gf_setBoard(b.parkedLiveCount, 4);
    gf_setBoard(b.liveAvgFit, 2.5);
    g_learnedChanges = 12;
    Board read;
    EXPECT_EQ(read.colour(5, 399), kGreen);
    EXPECT_EQ(read.text(85, 399), u" Zurich, simaddon (h), wk=0");
    EXPECT_EQ(read.text(370, 399), u"");
    EXPECT_EQ(read.text(430, 399), u"qf: 80/20");
    EXPECT_EQ(read.text(571, 399), u"reserved stand: E23");
    EXPECT_EQ(read.colour(571, 399), kRed);  // not found
    EXPECT_EQ(read.text(748, 399), u"# updates:   12");
    EXPECT_EQ(read.text(5, 427), u"# stands: 145");
    EXPECT_EQ(read.text(111, 427), u"parked live:   4");
    EXPECT_EQ(read.text(249, 427), u"average fit: 2.5");
    EXPECT_EQ(read.text(430, 427), u"<none>");
    EXPECT_EQ(read.text(708, 427), u"no max park live");

    gf_setBoard(b.maxParkCount, 50);
    gf_setBoard(b.maxParkPercent, 34);
    gf_setBoard(b.parkedStaticCount, 3);
    gf_setBoard(b.staticAvgFit, 4.0);
    gf_setBoard(b.softPositionsUsed, true);
    gf_setBoard(b.reservedStandOk, true);
    WEEK.value = false;
    Board placed;
    EXPECT_EQ(placed.text(370, 399), u"*S*");
    EXPECT_EQ(placed.colour(571, 399), kGreen);
    EXPECT_EQ(placed.text(430, 427), u"parked static:   3");
    EXPECT_EQ(placed.text(571, 427), u"average fit: 4");
    EXPECT_EQ(placed.text(708, 427), u"max park:  50 (=34 %)");
    WEEK.value = true;
    EXPECT_EQ(Board().text(571, 427), u"<none>");
}

TEST_F(BoardPaint, TextsThatCannotBeShownAreLoggedOnceAndSkipped) {
    gf_setBoard(g_mainWindowState.simConnectConnected, true);
    gf_setBoard(g_mainWindowState.simulatorName, std::string("P3D \xFF\xFE broken"));
    Board first;
    Board second;
    EXPECT_EQ(first.text(5, 35), u"<none>");
    EXPECT_EQ(first.text(5, 91), u"# liveries: ...");  // painting goes on
    const std::string log = m_log.text();
    const auto at = log.find("conversion exception");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("conversion exception", at + 1), std::string::npos) << log;
}

}  // namespace
}  // namespace skh
