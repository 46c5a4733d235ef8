#include "platform/window.hpp"

#include <atomic>
#include <map>
#include <mutex>

namespace skh::platform {

namespace {

struct Store {
    std::mutex mutex;
    std::map<ControlId, ControlState> controls;
    std::function<void()> invalidateHook;
    std::uint64_t version = 0;
};

Store& store() {
    static Store instance;
    return instance;
}

std::atomic<std::uint64_t> s_invalidations{0};

// Handles are the control id plus one bit, so 0 never names a control.
constexpr WindowHandle kHandleTag = 0x10000;
WindowHandle handleOf(ControlId id) { return kHandleTag | id; }

ControlState* find(Store& s, WindowHandle control) {
    if ((control & ~static_cast<WindowHandle>(0xFFFF)) != kHandleTag) return nullptr;
    const auto it = s.controls.find(static_cast<ControlId>(control & 0xFFFF));
    return it == s.controls.end() ? nullptr : &it->second;
}

// The control about to be changed, with a new version.
ControlState* change(Store& s, WindowHandle control) {
    ControlState* c = find(s, control);
    if (c != nullptr) c->version = ++s.version;
    return c;
}

bool startsWithNoCase(const std::u16string& text, const std::u16string& prefix) {
    if (prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char16_t a = text[i];
        char16_t b = prefix[i];
        if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a + 32);
        if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b + 32);
        if (a != b) return false;
    }
    return true;
}

}  // namespace

WindowHandle createControl(ControlKind kind, ControlId id, const std::u16string& text, int x, int y, int width,
                           int height) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    ControlState state;
    state.kind = kind;
    state.id = id;
    state.text = text;
    state.x = x;
    state.y = y;
    state.width = width;
    state.height = height;
    state.version = ++s.version;
    s.controls[id] = std::move(state);
    return handleOf(id);
}

WindowHandle getDlgItem(ControlId id) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    return s.controls.count(id) != 0 ? handleOf(id) : 0;
}

void destroyAllControls() {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    s.controls.clear();
    ++s.version;
}

std::uint64_t controlsVersion() {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    return s.version;
}

bool controlState(WindowHandle control, ControlState& out) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    const ControlState* c = find(s, control);
    if (c == nullptr) return false;
    out = *c;
    return true;
}

std::vector<ControlState> allControls() {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    std::vector<ControlState> out;
    out.reserve(s.controls.size());
    for (const auto& [id, c] : s.controls) out.push_back(c);
    return out;
}

void setCheck(WindowHandle control, bool checked) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    if (ControlState* c = change(s, control)) c->checked = checked;
}

bool getCheck(WindowHandle control) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    const ControlState* c = find(s, control);
    return c != nullptr && c->checked;
}

bool setWindowText(WindowHandle control, const std::u16string& text) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    ControlState* c = change(s, control);
    if (c == nullptr) return false;
    c->text = text;
    return true;
}

bool isWindowEnabled(WindowHandle control) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    const ControlState* c = find(s, control);
    return c != nullptr && c->enabled;
}

std::u16string getWindowText(WindowHandle control) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    const ControlState* c = find(s, control);
    return c != nullptr ? c->text : std::u16string();
}

void enableWindow(WindowHandle control, bool enabled) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    if (ControlState* c = change(s, control)) c->enabled = enabled;
}

void comboResetContent(WindowHandle control) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    if (ControlState* c = change(s, control)) {
        c->items.clear();
        c->selection = -1;
    }
}

int comboAddString(WindowHandle control, const std::u16string& text) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    ControlState* c = change(s, control);
    if (c == nullptr) return kComboError;
    c->items.push_back(text);
    return static_cast<int>(c->items.size()) - 1;
}

int comboSetCurSel(WindowHandle control, int index) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    ControlState* c = change(s, control);
    if (c == nullptr) return kComboError;
    if (index < 0 || index >= static_cast<int>(c->items.size())) {
        c->selection = -1;
        return kComboError;
    }
    c->selection = index;
    return index;
}

int comboSelectString(WindowHandle control, int startAfter, const std::u16string& prefix) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    ControlState* c = change(s, control);
    if (c == nullptr) return kComboError;
    const int n = static_cast<int>(c->items.size());
    // Searches from the entry after startAfter to the end and wraps around;
    // a failed search leaves the selection unchanged.
    for (int k = 0; k < n; ++k) {
        const int i = (startAfter + 1 + k) % n;
        if (i < 0) continue;
        if (startsWithNoCase(c->items[static_cast<std::size_t>(i)], prefix)) {
            c->selection = i;
            return i;
        }
    }
    return kComboError;
}

int comboGetCurSel(WindowHandle control) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    const ControlState* c = find(s, control);
    return c == nullptr ? kComboError : c->selection;
}

bool comboGetLbText(WindowHandle control, int index, std::u16string& out) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    const ControlState* c = find(s, control);
    if (c == nullptr || index < 0 || index >= static_cast<int>(c->items.size())) return false;
    out = c->items[static_cast<std::size_t>(index)];
    return true;
}

void invalidateMainWindow() {
    s_invalidations.fetch_add(1);
    std::function<void()> hook;
    {
        auto& s = store();
        const std::lock_guard lock(s.mutex);
        hook = s.invalidateHook;
    }
    if (hook) hook();
}

std::uint64_t invalidateCount() { return s_invalidations.load(); }

void setInvalidateHook(std::function<void()> hook) {
    auto& s = store();
    const std::lock_guard lock(s.mutex);
    s.invalidateHook = std::move(hook);
}

}  // namespace skh::platform
