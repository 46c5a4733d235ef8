// The main window's message queue and loop, the choice of backend, the
// headless backend and the input hooks.
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/utf16.hpp"
#include "platform/window.hpp"
#include "platform/window_backend.hpp"

namespace skh::platform {

namespace {

struct Posted {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    WindowHandle target = 0;     // a control's own procedure, else the window's
    std::function<void()> task;  // work handed to the UI thread
    bool quit = false;
    int exitCode = 0;
};

struct MainWindow {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Posted> queue;                  // guarded by mutex
    std::map<WindowHandle, EditProc> edits;    // guarded by mutex
    bool exists = false;                       // guarded by mutex
    std::unique_ptr<detail::Backend> backend;  // set while the window exists; used on the UI thread
    WindowProc proc;                           // UI thread
    std::thread::id uiThread;
    std::atomic<bool> dirty{false};
    std::atomic<bool> topmost{false};

    std::mutex paintMutex;
    std::vector<PaintOp> lastPaint;  // guarded by paintMutex
    std::atomic<std::uint64_t> paints{0};
};

MainWindow& window() {
    static MainWindow w;
    return w;
}

void wake(MainWindow& w) {
    w.changed.notify_all();
    // The backend lives as long as the window; wake() may be called from any thread.
    const std::lock_guard lock(w.mutex);
    if (w.backend) w.backend->wake();
}

bool post(Posted p) {
    auto& w = window();
    {
        const std::lock_guard lock(w.mutex);
        if (!w.exists) return false;
        w.queue.push_back(std::move(p));
    }
    wake(w);
    return true;
}

// Runs work on the UI thread and waits for it; at once when called there.
template <class T>
T onUiThread(std::function<T()> work, T fallback) {
    auto& w = window();
    std::thread::id ui;
    {
        const std::lock_guard lock(w.mutex);
        if (!w.exists) return fallback;
        ui = w.uiThread;
    }
    if (std::this_thread::get_id() == ui) return work();
    auto promise = std::make_shared<std::promise<T>>();
    auto result = promise->get_future();
    Posted p;
    p.task = [promise, work] { promise->set_value(work()); };
    if (!post(std::move(p))) return fallback;
    if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return fallback;
    try {
        return result.get();
    } catch (const std::future_error&) {
        return fallback;  // the loop ended and dropped the work
    }
}

// The headless backend: the window as data. Paints are recorded.
class HeadlessBackend final : public detail::Backend {
public:
    bool open(const std::u16string&, int x, int y, int width, int height) override {
        m_rect = Rect{x, y, x + width, y + height};
        return true;
    }
    bool show() override {
        m_shown = true;
        return true;
    }
    void close() override { m_shown = false; }
    void waitForEvents(std::chrono::milliseconds) override {}
    void wake() override {}
    bool hasEvents() const override { return false; }
    void repaint() override { detail::recordPaint(); }
    void syncControls() override {}
    WindowGeometry geometry() override {
        return WindowGeometry{m_shown, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top};
    }
    Rect rect() override { return m_rect; }
    void setTopmost(bool) override {}
    void pressCloseButton() override { detail::postFromDisplay(kWmClose, 0, 0, 0); }
    void clickAt(int x, int y) override { detail::clickControlAt(x, y); }
    bool capture(Image&) override { return false; }

private:
    Rect m_rect;
    bool m_shown = false;
};

void dispatch(MainWindow& w, const Posted& m) {
    if (m.task) {
        m.task();
        return;
    }
    if (m.target != 0) {
        EditProc proc;
        {
            const std::lock_guard lock(w.mutex);
            const auto it = w.edits.find(m.target);
            if (it != w.edits.end()) proc = it->second;
        }
        if (proc) proc(m.target, m.message, m.wParam);
        return;
    }
    if (w.proc) w.proc(m.message, m.wParam, m.lParam);
}

// A picture of the window a while after its loop starts (the demo's):
// SKYHAVEN_SCREENSHOT names the PNG file, SKYHAVEN_SCREENSHOT_AFTER the
// seconds to wait (default 5).
struct Picture {
    std::string path;
    std::chrono::steady_clock::time_point due;
};

std::optional<Picture> scheduledPicture() {
    const char* path = std::getenv("SKYHAVEN_SCREENSHOT");
    if (path == nullptr || *path == '\0') return std::nullopt;
    double seconds = 5.0;
    if (const char* after = std::getenv("SKYHAVEN_SCREENSHOT_AFTER")) {
        char* end = nullptr;
        const double v = std::strtod(after, &end);
        if (end != after && v >= 0.0 && v <= 86400.0) seconds = v;
    }
    const auto wait =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    return Picture{path, std::chrono::steady_clock::now() + wait};
}

void takePicture(detail::Backend& backend, const Picture& picture) {
    Image image;
    if (!backend.capture(image)) {
        std::fprintf(stderr, "No picture of the window: it is not shown on a display\n");
    } else if (!savePng(picture.path, image)) {
        std::fprintf(stderr, "The picture of the window could not be written to %s\n", picture.path.c_str());
    } else {
        std::fprintf(stderr, "Picture of the window saved to %s\n", picture.path.c_str());
    }
}

bool enabledControl(ControlId id, WindowHandle& handle) {
    handle = getDlgItem(id);
    return handle != 0 && isWindowEnabled(handle);
}

}  // namespace

namespace detail {

std::unique_ptr<Backend> makeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

void paintOn(PaintSurface& surface) {
    auto& w = window();
    if (w.proc) w.proc(kWmPaint, 0, reinterpret_cast<std::intptr_t>(&surface));
}

std::vector<PaintOp> recordPaint() {
    RecordingSurface surface;
    paintOn(surface);
    auto& w = window();
    {
        const std::lock_guard lock(w.paintMutex);
        w.lastPaint = surface.ops;
    }
    w.paints.fetch_add(1);
    return std::move(surface.ops);
}

void clickControlAt(int x, int y) {
    for (const ControlState& c : allControls()) {
        if (x < c.x || y < c.y || x >= c.x + c.width || y >= c.y + c.height) continue;
        if (c.kind == ControlKind::CheckBox || c.kind == ControlKind::PushButton) clickControl(c.id);
        return;
    }
}

void postFromDisplay(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, WindowHandle target) {
    Posted p;
    p.message = message;
    p.wParam = wParam;
    p.lParam = lParam;
    p.target = target;
    post(std::move(p));
}

std::string toUtf8(const std::u16string& text) {
    std::string out;
    std::uint32_t error = 0;
    utf16ToUtf8Append(text, out, error);
    return out;
}

}  // namespace detail

WindowBackend chooseWindowBackend() {
    const char* headless = std::getenv("SKYHAVEN_HEADLESS");
    const char* display = std::getenv("DISPLAY");
    if (headless != nullptr && *headless != '\0' && *headless != '0') return WindowBackend::Headless;
    return display != nullptr && *display != '\0' ? WindowBackend::Fltk : WindowBackend::Headless;
}

bool createMainWindow(WindowBackend kind, const std::u16string& title, int x, int y, int width, int height,
                      WindowProc proc) {
    auto& w = window();
    std::unique_ptr<detail::Backend> backend =
        kind == WindowBackend::Fltk ? detail::makeFltkBackend() : detail::makeHeadlessBackend();
    if (!backend) return false;
    {
        const std::lock_guard lock(w.mutex);
        if (w.exists) return false;
        w.exists = true;
        w.queue.clear();
        w.edits.clear();
        w.uiThread = std::this_thread::get_id();
    }
    w.proc = std::move(proc);
    w.dirty = true;
    setInvalidateHook([] {
        auto& mw = window();
        mw.dirty = true;
        wake(mw);
    });
    w.proc(kWmCreate, 0, 0);
    if (!backend->open(title, x, y, width, height)) {
        destroyMainWindow();
        return false;
    }
    backend->setTopmost(w.topmost.load());
    const std::lock_guard lock(w.mutex);
    w.backend = std::move(backend);
    return true;
}

bool showMainWindow() {
    auto& w = window();
    return w.backend && w.backend->show();
}

bool mainWindowExists() {
    auto& w = window();
    const std::lock_guard lock(w.mutex);
    return w.exists;
}

bool mainWindowDisplayLost() {
    auto& w = window();
    const std::lock_guard lock(w.mutex);
    return w.backend && w.backend->displayLost();
}

void destroyMainWindow() {
    auto& w = window();
    setInvalidateHook({});
    std::unique_ptr<detail::Backend> backend;
    {
        const std::lock_guard lock(w.mutex);
        backend = std::move(w.backend);
        w.exists = false;
        w.queue.clear();
        w.edits.clear();
    }
    if (backend) backend->close();
    w.proc = nullptr;
    destroyAllControls();
}

Rect mainWindowRect() {
    return onUiThread<Rect>([] { return window().backend ? window().backend->rect() : Rect{}; }, Rect{});
}

bool postMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    Posted p;
    p.message = message;
    p.wParam = wParam;
    p.lParam = lParam;
    return post(std::move(p));
}

void postQuitMessage(int exitCode) {
    Posted p;
    p.quit = true;
    p.exitCode = exitCode;
    post(std::move(p));
}

int runMessageLoop() {
    auto& w = window();
    std::optional<Picture> picture = scheduledPicture();
    for (;;) {
        std::deque<Posted> batch;
        {
            const std::lock_guard lock(w.mutex);
            batch.swap(w.queue);
        }
        for (auto it = batch.begin(); it != batch.end(); ++it) {
            if (it->quit) {
                // What came after the quit message stays for nobody.
                return it->exitCode;
            }
            dispatch(w, *it);
        }
        if (!w.backend) return 0;
        w.backend->syncControls();
        if (w.dirty.exchange(false)) w.backend->repaint();
        if (picture && std::chrono::steady_clock::now() >= picture->due) {
            takePicture(*w.backend, *picture);
            picture.reset();
        }
        const bool idle = [&] {
            const std::lock_guard lock(w.mutex);
            return w.queue.empty();
        }();
        if (!idle || w.dirty.load()) continue;
        if (w.backend->hasEvents()) {
            w.backend->waitForEvents(std::chrono::milliseconds(100));
        } else {
            std::unique_lock lock(w.mutex);
            w.changed.wait_for(lock, std::chrono::milliseconds(500),
                               [&] { return !w.queue.empty() || w.dirty.load(); });
        }
    }
}

void setEditProc(WindowHandle control, EditProc proc) {
    auto& w = window();
    const std::lock_guard lock(w.mutex);
    w.edits[control] = std::move(proc);
}

void setMainWindowTopmost(bool topmost) {
    auto& w = window();
    w.topmost = topmost;
    Posted p;
    p.task = [topmost] {
        if (window().backend) window().backend->setTopmost(topmost);
    };
    post(std::move(p));
}

bool mainWindowTopmost() { return window().topmost.load(); }

WindowGeometry mainWindowGeometry() {
    return onUiThread<WindowGeometry>([] { return window().backend ? window().backend->geometry() : WindowGeometry{}; },
                                      WindowGeometry{});
}

void clickControl(ControlId id) {
    WindowHandle h = 0;
    if (enabledControl(id, h))
        detail::postFromDisplay(kWmCommand, makeWParam(id, kBnClicked), static_cast<std::intptr_t>(h), 0);
}

void selectComboItem(ControlId id, int index) {
    WindowHandle h = 0;
    if (!enabledControl(id, h) || comboSetCurSel(h, index) == kComboError) return;
    detail::postFromDisplay(kWmCommand, makeWParam(id, kCbnSelChange), static_cast<std::intptr_t>(h), 0);
}

void typeIntoEdit(ControlId id, const std::u16string& text, bool enter) {
    WindowHandle h = 0;
    if (!enabledControl(id, h)) return;
    setWindowText(h, text);
    if (enter) detail::postFromDisplay(kWmChar, kEnterChar, 0, h);
}

void clickAt(int x, int y) {
    Posted p;
    p.task = [x, y] {
        if (window().backend) window().backend->clickAt(x, y);
    };
    post(std::move(p));
}

bool captureMainWindow(Image& out) {
    // The work may run after the wait has given up: it owns its picture.
    auto picture = std::make_shared<Image>();
    if (!onUiThread<bool>([picture] { return window().backend && window().backend->capture(*picture); }, false))
        return false;
    out = std::move(*picture);
    return true;
}

void requestClose() {
    Posted p;
    p.task = [] {
        if (window().backend) window().backend->pressCloseButton();
    };
    post(std::move(p));
}

std::vector<PaintOp> lastPaint() {
    auto& w = window();
    const std::lock_guard lock(w.paintMutex);
    return w.lastPaint;
}

std::uint64_t paintCount() { return window().paints.load(); }

}  // namespace skh::platform
