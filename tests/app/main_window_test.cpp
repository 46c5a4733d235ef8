#include "app/main_window.hpp"

#include <gtest/gtest.h>

#include <map>

#include "app/startup.hpp"
#include "app_fixture.hpp"
#include "foundation/parameter_table.hpp"
#include "platform/window.hpp"

namespace skh {
namespace {

using platform::ControlKind;

class MainWindow : public test::AppTest {
protected:
    void TearDown() override {
        if (platform::mainWindowExists()) platform::destroyMainWindow();
        platform::destroyAllControls();
        AppTest::TearDown();
    }
};

struct Expected {
    platform::ControlId id;
    ControlKind kind;
    int x, y, width, height;
};

TEST_F(MainWindow, TheFortyThreeControls) {
    lf_createControls();
    const Expected table[] = {
        {32788, ControlKind::Edit, 111, 119, 1200, 16},     {32797, ControlKind::CheckBox, 5, 149, 12, 12},
        {32798, ControlKind::CheckBox, 217, 149, 12, 12},   {32799, ControlKind::CheckBox, 450, 149, 12, 12},
        {32800, ControlKind::CheckBox, 536, 149, 12, 12},   {32779, ControlKind::CheckBox, 652, 149, 12, 12},
        {32771, ControlKind::CheckBox, 748, 149, 12, 12},   {32801, ControlKind::CheckBox, 5, 177, 12, 12},
        {32802, ControlKind::CheckBox, 217, 177, 12, 12},   {32778, ControlKind::CheckBox, 652, 177, 12, 12},
        {32777, ControlKind::CheckBox, 748, 177, 12, 12},   {32808, ControlKind::ComboBox, 217, 198, 40, 120},
        {32809, ControlKind::CheckBox, 323, 205, 12, 12},   {32810, ControlKind::CheckBox, 430, 205, 12, 12},
        {32811, ControlKind::CheckBox, 536, 205, 12, 12},   {32775, ControlKind::CheckBox, 652, 205, 12, 12},
        {32773, ControlKind::CheckBox, 748, 205, 12, 12},   {32818, ControlKind::ComboBox, 217, 226, 50, 200},
        {32819, ControlKind::CheckBox, 323, 233, 12, 12},   {32820, ControlKind::ComboBox, 455, 226, 70, 230},
        {32821, ControlKind::CheckBox, 572, 233, 12, 12},   {32834, ControlKind::CheckBox, 217, 289, 12, 12},
        {32833, ControlKind::CheckBox, 323, 289, 12, 12},   {32835, ControlKind::CheckBox, 430, 289, 12, 12},
        {32828, ControlKind::Edit, 107, 259, 100, 16},      {32829, ControlKind::PushButton, 223, 257, 60, 20},
        {32830, ControlKind::PushButton, 305, 257, 60, 20}, {32831, ControlKind::ComboBox, 375, 254, 100, 300},
        {32832, ControlKind::PushButton, 576, 257, 60, 20}, {32846, ControlKind::ComboBox, 323, 310, 55, 144},
        {32847, ControlKind::ComboBox, 536, 310, 55, 144},  {32839, ControlKind::Edit, 217, 343, 50, 16},
        {32840, ControlKind::ComboBox, 353, 338, 45, 144},  {32841, ControlKind::ComboBox, 566, 338, 70, 230},
        {32856, ControlKind::CheckBox, 652, 317, 12, 12},   {32852, ControlKind::CheckBox, 5, 373, 12, 12},
        {32854, ControlKind::CheckBox, 71, 373, 12, 12},    {32851, ControlKind::CheckBox, 151, 373, 12, 12},
        {32848, ControlKind::ComboBox, 323, 366, 50, 200},  {32850, ControlKind::CheckBox, 430, 373, 12, 12},
        {32855, ControlKind::ComboBox, 566, 366, 60, 300},  {32838, ControlKind::PushButton, 758, 341, 90, 20},
        {32858, ControlKind::PushButton, 758, 369, 90, 20},
    };
    const auto controls = platform::allControls();
    ASSERT_EQ(controls.size(), 43u);
    std::map<platform::ControlId, platform::ControlState> byId;
    for (const auto& c : controls) byId[c.id] = c;
    for (const Expected& e : table) {
        SCOPED_TRACE(e.id);
        ASSERT_EQ(byId.count(e.id), 1u);
        const auto& c = byId[e.id];
        EXPECT_EQ(c.kind, e.kind);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.width, e.width);
        EXPECT_EQ(c.height, e.height);
        // Check boxes and lists start enabled; buttons and edit boxes disabled.
        EXPECT_EQ(c.enabled, e.kind == ControlKind::CheckBox || e.kind == ControlKind::ComboBox);
    }
    EXPECT_EQ(byId[32829].text, u"Unblock");
    EXPECT_EQ(byId[32830].text, u"cs->oid:");
    EXPECT_EQ(byId[32797].checked, SCAN_LIVERIES.value.load());
    EXPECT_EQ(byId[32818].items.size(), RANGE.choices.size());

    // After the settings are loaded the start-up sets the states it wants.
    AUTO_RANGE.value = true;
    BLOCK_CALLSIGN.value.set("");
    MAX_FIT.value = 23;
    lf_enableSettingsControls();
    const auto state = [](platform::ControlId id) {
        platform::ControlState s;
        platform::controlState(platform::getDlgItem(id), s);
        return s;
    };
    EXPECT_FALSE(state(32818).enabled);  // RANGE follows the automatic range
    EXPECT_TRUE(state(32820).enabled);
    EXPECT_FALSE(state(32777).enabled);  // LEARN_SOFT
    EXPECT_TRUE(state(32828).enabled);
    EXPECT_FALSE(state(32829).enabled);  // nothing blocked
    EXPECT_FALSE(state(32838).enabled);
    EXPECT_EQ(parking_percentage.value.load(), 30);
    EXPECT_FALSE(state(32848).enabled);
    const auto maxFit = state(32855);
    EXPECT_EQ(maxFit.items.size(), MAX_FIT_FL.choices.size());
    ASSERT_GE(maxFit.selection, 0);
    EXPECT_EQ(maxFit.items[static_cast<std::size_t>(maxFit.selection)], u"12.0");
    EXPECT_FALSE(maxFit.enabled);
}

TEST_F(MainWindow, StoredPositionOfAMinimisedWindowIsRepaired) {
    test::writeFile(g_parametersXmlPath, R"(<?xml version="1.0"?>
<parameters><parameter name="MAIN_WINDOW_X" value="-32000"/><parameter name="MAIN_WINDOW_Y" value="150"/></parameters>
)");
    const test::ScopedEnv headless("SKYHAVEN_HEADLESS", std::string("1"));
    ASSERT_TRUE(initInstance("Skyhaven_P3D"));
    EXPECT_EQ(platform::mainWindowRect(), (platform::Rect{400, 150, 1280, 626}));
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "400");
    EXPECT_EQ(storedValue("MAIN_WINDOW_Y"), "150");
    EXPECT_EQ(platform::allControls().size(), 43u);
}

// What the paint covers is the whole client area: no band below the status line.
TEST_F(MainWindow, TheClientAreaIsTheBoard) {
    const test::ScopedEnv headless("SKYHAVEN_HEADLESS", std::string("1"));
    ASSERT_TRUE(initInstance("Skyhaven_P3D"));
    platform::RecordingSurface board;
    lf_paintWindow(board);
    platform::Rect covered;
    for (const auto& op : board.ops) {
        if (op.kind != platform::PaintOp::Kind::Fill) continue;
        covered.right = std::max(covered.right, op.rect.right);
        covered.bottom = std::max(covered.bottom, op.rect.bottom);
    }
    const platform::WindowGeometry g = platform::mainWindowGeometry();
    EXPECT_EQ(g.width, covered.right);
    EXPECT_EQ(g.height, covered.bottom);
    EXPECT_EQ(covered, (platform::Rect{0, 0, 880, 476}));
}

TEST_F(MainWindow, CloseButtonAsksOnce) {
    lf_wndProc(platform::kWmClose, 0, 0);
    EXPECT_EQ(gf_statusText(), "Close window button clicked, closing Skyhaven_P3D ...");
    EXPECT_FALSE(m_log.contains("Close window button"));
    EXPECT_EQ(g_appState.load(), AppState::UserClosedSim);
    EXPECT_TRUE(g_closeRequested.load());
    lf_resetSession();
    gf_requestStop(AppState::ReaderError, 15);
    lf_wndProc(platform::kWmClose, 0, 0);
    lf_wndProc(platform::kWmClose, 0, 0);
    EXPECT_EQ(g_appState.load(), AppState::ReaderError);
}

TEST_F(MainWindow, TypedInstallPath) {
    const test::TempDir sim;
    gf_setErrorMessage("151: No P3D install path detected, type full Install Path above, and press Enter");
    gf_setSystemError();
    lf_handleInstallPathEntered((sim / "nowhere").string());
    EXPECT_EQ(gf_statusText(), "This install path does not exist: " + (sim / "nowhere").string());
    EXPECT_EQ(gf_errorText(), "");
    EXPECT_FALSE(g_stopRequested.load());

    lf_handleInstallPathEntered(sim.path().string());
    EXPECT_EQ(storedValue("SIM_INSTALL_PATH"), sim.path().string());
    EXPECT_EQ(gf_statusText(), "Install path exists, Skyhaven_P3D will restart");
    EXPECT_EQ(g_appState.load(), AppState::NewSettings);
    EXPECT_EQ(g_restartDelay.load(), 3);

    lf_handleInstallPathEntered("");
    EXPECT_EQ(storedValue("SIM_INSTALL_PATH"), "");
}

TEST_F(MainWindow, StatusAndErrorLinesArePainted) {
    struct Surface : platform::PaintSurface {
        std::vector<platform::PaintOp> ops;
        void fillRect(const platform::Rect& r, platform::ColorRef c) override {
            ops.push_back({platform::PaintOp::Kind::Fill, r, c, {}});
        }
        void line(int, int, int, int, platform::ColorRef) override {}
        void text(int x, int y, const std::u16string& t, platform::ColorRef c) override {
            ops.push_back({platform::PaintOp::Kind::Text, {x, y, x, y}, c, t});
        }
    };
    const auto statusLine = [](const Surface& s) {
        platform::ColorRef fill = 0;
        std::u16string text;
        for (const auto& op : s.ops) {
            if (op.kind == platform::PaintOp::Kind::Fill && op.rect == platform::Rect{0, 448, 880, 476})
                fill = op.colour;
            if (op.kind == platform::PaintOp::Kind::Text && op.rect.top == 455) text = op.text;
        }
        return std::make_pair(fill, text);
    };
    gf_setStatusMessage("RealTraffic detected at this PC", false);
    Surface status;
    lf_paintWindow(status);
    EXPECT_EQ(statusLine(status),
              std::make_pair(platform::ColorRef{0x32CD32}, std::u16string(u"RealTraffic detected at this PC")));
    gf_setErrorMessage("88: input/airports.xml not loaded: File was not found");
    Surface error;
    lf_paintWindow(error);
    EXPECT_EQ(statusLine(error),
              std::make_pair(platform::ColorRef{0x0000FF},
                             std::u16string(u"88: input/airports.xml not loaded: File was not found")));
}

}  // namespace
}  // namespace skh
