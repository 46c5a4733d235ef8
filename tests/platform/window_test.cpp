#include "platform/window.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "support/test_env.hpp"
#include "support/xvfb.hpp"

namespace skh::platform {
namespace {

using namespace std::chrono_literals;

constexpr ControlId kCheck = 100, kEdit = 101, kCombo = 102;

// A window procedure that records what reaches it and creates three controls.
struct Recorder {
    std::mutex mutex;
    std::vector<std::tuple<std::uint32_t, std::uintptr_t>> messages;
    std::vector<std::u16string> entered;
    std::atomic<bool> closeAsked{false};

    WindowProc proc() {
        return [this](std::uint32_t m, std::uintptr_t w, std::intptr_t l) -> std::intptr_t {
            if (m == kWmCreate) {
                createControl(ControlKind::CheckBox, kCheck, u"", 5, 149, 12, 12);
                const WindowHandle edit = createControl(ControlKind::Edit, kEdit, u"", 111, 119, 200, 16);
                setEditProc(edit, [this](WindowHandle h, std::uint32_t msg, std::uintptr_t key) {
                    if (msg != kWmChar || key != kEnterChar) return false;
                    const std::lock_guard lock(mutex);
                    entered.push_back(getWindowText(h));
                    return true;
                });
                const WindowHandle combo = createControl(ControlKind::ComboBox, kCombo, u"", 217, 226, 50, 200);
                comboAddString(combo, u"10");
                comboAddString(combo, u"25/50 & more");
            }
            if (m == kWmPaint) {
                auto& s = *reinterpret_cast<PaintSurface*>(l);
                s.fillRect({0, 448, 880, 476}, 0x32CD32);
                s.text(3, 455, u"status", 0x00FFFF);
            }
            if (m == kWmClose) closeAsked = true;
            if (m == kWmApp + 2) postQuitMessage(7);
            const std::lock_guard lock(mutex);
            messages.emplace_back(m, w);
            return 0;
        };
    }
    bool received(std::uint32_t m, std::uintptr_t w) {
        const std::lock_guard lock(mutex);
        return std::find(messages.begin(), messages.end(), std::make_tuple(m, w)) != messages.end();
    }
};

// The UI thread of a test window: creates it, runs its loop, destroys it.
class UiThread {
public:
    UiThread(WindowBackend backend, Recorder& recorder) {
        std::promise<bool> created;
        auto done = created.get_future();
        m_thread = std::thread([&, backend] {
            const bool ok =
                createMainWindow(backend, u"Skyhaven_P3D", 400, 20, 880, 516, recorder.proc()) && showMainWindow();
            created.set_value(ok);
            if (!ok) return;
            m_exitCode = runMessageLoop();
            destroyMainWindow();
        });
        m_created = done.get();
    }
    ~UiThread() {
        if (m_thread.joinable()) m_thread.join();
    }
    bool created() const { return m_created; }
    int join() {
        m_thread.join();
        return m_exitCode;
    }

private:
    std::thread m_thread;
    bool m_created = false;
    std::atomic<int> m_exitCode{-1};
};

TEST(MainWindowHeadless, InputMessagesPaintAndQuit) {
    Recorder recorder;
    UiThread ui(WindowBackend::Headless, recorder);
    ASSERT_TRUE(ui.created());
    EXPECT_TRUE(mainWindowExists());
    EXPECT_FALSE(createMainWindow(WindowBackend::Headless, u"second", 0, 0, 10, 10, recorder.proc()));
    const WindowGeometry g = mainWindowGeometry();
    EXPECT_TRUE(g.mapped);
    EXPECT_EQ(g.width, 880);
    EXPECT_EQ(g.height, 516);
    EXPECT_EQ(mainWindowRect(), (Rect{400, 20, 1280, 536}));

    // A click: the program gets the command, the mark is its to set.
    clickControl(kCheck);
    ASSERT_TRUE(test::waitUntil([&] { return recorder.received(kWmCommand, makeWParam(kCheck, kBnClicked)); }));
    EXPECT_FALSE(getCheck(getDlgItem(kCheck)));
    // A disabled control takes no input.
    enableWindow(getDlgItem(kCheck), false);
    selectComboItem(kCombo, 1);
    ASSERT_TRUE(test::waitUntil([&] { return recorder.received(kWmCommand, makeWParam(kCombo, kCbnSelChange)); }));
    EXPECT_EQ(comboGetCurSel(getDlgItem(kCombo)), 1);
    typeIntoEdit(kEdit, u"D:\\Prepar3D v5", true);
    ASSERT_TRUE(test::waitUntil([&] {
        const std::lock_guard lock(recorder.mutex);
        return !recorder.entered.empty();
    }));
    EXPECT_EQ(recorder.entered.front(), u"D:\\Prepar3D v5");
    EXPECT_FALSE(recorder.received(kWmChar, kEnterChar));  // Enter went to the edit box's procedure

    // A repaint is recorded as a display list.
    const auto paints = paintCount();
    invalidateMainWindow();
    ASSERT_TRUE(test::waitUntil([&] { return paintCount() > paints; }));
    const auto list = lastPaint();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].text, u"status");

    // The close button only asks; the window stays until the program quits.
    requestClose();
    ASSERT_TRUE(test::waitUntil([&] { return recorder.closeAsked.load(); }));
    EXPECT_TRUE(mainWindowExists());
    EXPECT_TRUE(postMessage(kWmApp + 2));
    EXPECT_EQ(ui.join(), 7);
    EXPECT_FALSE(mainWindowExists());
    EXPECT_FALSE(postMessage(kWmApp + 2));
}

TEST(FltkWindow, MapsAtItsSizeAndTheCloseButtonOnlyAsks) {
    test::XvfbDisplay display;
    if (!display.failure().empty()) GTEST_SKIP() << "No FLTK window test: " << display.failure();
    EXPECT_EQ(chooseWindowBackend(), WindowBackend::Fltk);
    Recorder recorder;
    UiThread ui(WindowBackend::Fltk, recorder);
    ASSERT_TRUE(ui.created());
    ASSERT_TRUE(test::waitUntil([] { return mainWindowGeometry().mapped; }));
    const WindowGeometry g = mainWindowGeometry();
    EXPECT_EQ(g.width, 880);
    EXPECT_EQ(g.height, 516);

    // The program's changes reach the widgets; the close button asks.
    setCheck(getDlgItem(kCheck), true);
    invalidateMainWindow();
    requestClose();
    ASSERT_TRUE(test::waitUntil([&] { return recorder.closeAsked.load(); }));
    EXPECT_TRUE(mainWindowGeometry().mapped);
    EXPECT_TRUE(postMessage(kWmApp + 2));
    EXPECT_EQ(ui.join(), 7);
}

}  // namespace
}  // namespace skh::platform
