// The real window under Xvfb: what it shows is what the display list says,
// and a click on it reaches the program.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

#include "app/board_paint.hpp"
#include "app/main_window.hpp"
#include "app/run_state.hpp"
#include "app_fixture.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "platform/window.hpp"
#include "support/xvfb.hpp"

namespace skh {
namespace {

using platform::ColorRef;
using platform::PaintOp;

// The colour the display list gives a point: the last fill that covers it.
std::optional<ColorRef> listedFill(const std::vector<PaintOp>& ops, int x, int y) {
    std::optional<ColorRef> c;
    for (const auto& op : ops) {
        const auto& r = op.rect;
        if (op.kind == PaintOp::Kind::Fill && x >= r.left && x < r.right && y >= r.top && y < r.bottom) c = op.colour;
    }
    return c;
}

// COLORREF (0x00BBGGRR) as the picture's 0x00RRGGBB.
std::uint32_t rgbOf(ColorRef c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

class BoardWindow : public test::AppTest {
protected:
    void TearDown() override {
        if (m_ui.joinable()) {
            platform::postQuitMessage(0);
            m_ui.join();
        }
        gf_resetBoard();
        gf_clearErrorMessage();
        g_flushStaticRequested = false;
        AppTest::TearDown();
    }
    bool open() {
        std::promise<bool> created;
        auto done = created.get_future();
        m_ui = std::thread([&created] {
            const bool ok = initInstance("Skyhaven_P3D");  // as the program opens it
            created.set_value(ok);
            if (!ok) return;
            platform::runMessageLoop();
            platform::destroyMainWindow();
        });
        return done.get();
    }
    // The display outlives the window: TearDown closes the window first.
    test::XvfbDisplay m_display;
    test::ScopedEnv m_notHeadless{"SKYHAVEN_HEADLESS", std::nullopt};
    std::thread m_ui;
};

TEST_F(BoardWindow, ShowsTheDisplayListAndTakesClicks) {
    if (!m_display.failure().empty()) GTEST_SKIP() << "No FLTK window test: " << m_display.failure();
    auto& b = g_mainWindowState;
    gf_setBoard(b.simConnectConnected, true);
    gf_setBoard(b.simulatorRunning, true);
    gf_setBoard(b.userAircraftTitle, "Airbus A320");
    gf_setBoard(b.realTrafficIdle, false);
    gf_setBoard(b.realTrafficConnected, true);
    gf_setBoard(b.trafficLamp, LampStale);
    gf_setErrorMessage("88: airports.xml not loaded");
    ASSERT_TRUE(open());
    ASSERT_TRUE(test::waitUntil([] { return platform::mainWindowGeometry().mapped; }));

    // The picture, once a paint after the last change has reached the screen.
    platform::Image picture;
    std::vector<PaintOp> list;
    struct Sample {
        const char* what;
        int x, y;
        ColorRef expected;
    };
    const Sample samples[] = {
        {"simulator lamp", 411, 40, kGreen},     {"RealTraffic lamp", 439, 40, kYellow},
        {"error line", 700, 470, kRed},          {"error line's last row", 700, 475, kRed},
        {"board background", 300, 50, kBlack},   {"header", 700, 14, kBlack},
        {"settings area", 870, 160, kLightBlue}, {"statistics area", 800, 440, kBlack},
    };
    ASSERT_TRUE(test::waitUntil([&] {
        if (!platform::captureMainWindow(picture)) return false;
        // The capture paints what is due first: the list is the picture's.
        list = platform::lastPaint();
        for (const Sample& s : samples) {
            if (picture.pixel(s.x, s.y) != rgbOf(s.expected)) return false;
        }
        return true;
    })) << "the window does not show its display list";
    // The client area is the board, without a band below the status line.
    EXPECT_EQ(picture.width, kStatusArea.right);
    EXPECT_EQ(picture.height, kStatusArea.bottom);
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.what);
        ASSERT_TRUE(listedFill(list, s.x, s.y).has_value());
        EXPECT_EQ(*listedFill(list, s.x, s.y), s.expected);
        EXPECT_EQ(picture.pixel(s.x, s.y), rgbOf(s.expected));
    }

    // A picture of it on disk.
    const std::string png = (m_program / "window.png").string();
    ASSERT_TRUE(platform::savePng(png, picture));
    std::ifstream in(png, std::ios::binary);
    char signature[8] = {};
    in.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");

    // A click on the LOG check box reaches the program, which flips it.
    const bool log = LOG.value.load();
    platform::ControlState box;
    ASSERT_TRUE(platform::controlState(platform::getDlgItem(LOG.controlId), box));
    platform::clickAt(box.x + box.width / 2, box.y + box.height / 2);
    ASSERT_TRUE(test::waitUntil([&] { return LOG.value.load() != log; }));
    ASSERT_TRUE(test::waitUntil([&] { return storedValue("LOG") == (log ? "false" : "true"); }));
    EXPECT_EQ(platform::getCheck(platform::getDlgItem(LOG.controlId)), !log);
    // A push button too: Flush static, once enabled.
    gf_enableControl(g_flushStaticButton, true);
    ASSERT_TRUE(platform::controlState(platform::getDlgItem(g_flushStaticButton.controlId), box));
    gf_clearErrorMessage();
    ASSERT_TRUE(test::waitUntil([&] {
        platform::clickAt(box.x + box.width / 2, box.y + box.height / 2);
        return test::waitUntil([] { return gf_statusText() == "All static parked aircraft will be removed ..."; },
                               std::chrono::milliseconds(500));
    }));
}

}  // namespace
}  // namespace skh
