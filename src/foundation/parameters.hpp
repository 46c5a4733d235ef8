#pragma once
// Typed settings. Every setting is one global object (see parameter_table.hpp)
// with its key, default, range or choices and current value; settings shown in
// the main window also carry their control's id, row and window handle.
// Values are shared between threads: bools, integers and floats are atomics,
// texts and lists sit behind a mutex.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/window.hpp"

namespace skh {

// A text shared between threads. It has its own mutex, or shares one with
// other texts that are read together (the board texts of the main window).
class SharedText {
public:
    SharedText() = default;
    explicit SharedText(std::string text) : m_text(std::move(text)) {}
    explicit SharedText(std::mutex& shared) : m_lock(&shared) {}
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    std::string get() const {
        const std::lock_guard lock(*m_lock);
        return m_text;
    }
    void set(std::string text) {
        const std::lock_guard lock(*m_lock);
        m_text = std::move(text);
    }
    bool empty() const {
        const std::lock_guard lock(*m_lock);
        return m_text.empty();
    }
    // Stores the text; false when it was the text already.
    bool change(std::string text) {
        const std::lock_guard lock(*m_lock);
        if (m_text == text) return false;
        m_text = std::move(text);
        return true;
    }
    // For a reader that holds the shared mutex already.
    const std::string& lockedValue() const { return m_text; }
    operator std::string() const { return get(); }
    SharedText& operator=(std::string text) {
        set(std::move(text));
        return *this;
    }

private:
    mutable std::mutex m_mutex;
    std::mutex* m_lock = &m_mutex;
    std::string m_text;
};

struct Parameter {
    std::string name;
    explicit Parameter(std::string key) : name(std::move(key)) {}
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;
    virtual ~Parameter() = default;
};

struct BoolParameter : Parameter {
    bool defaultValue;
    bool minimum;
    bool maximum;
    std::atomic<bool> value;
    BoolParameter(std::string key, bool v) : Parameter(std::move(key)), defaultValue(v), minimum(v), maximum(v), value(v) {}
};

struct IntParameter : Parameter {
    std::int32_t defaultValue;
    std::int32_t minimum;
    std::int32_t maximum;
    std::atomic<std::int32_t> value;
    IntParameter(std::string key, std::int32_t def, std::int32_t min, std::int32_t max)
        : Parameter(std::move(key)), defaultValue(def), minimum(min), maximum(max), value(def) {}
};

struct StringParameter : Parameter {
    std::string defaultValue;
    std::string minimum;
    std::string maximum;
    SharedText value;
    StringParameter(std::string key, const std::string& def)
        : Parameter(std::move(key)), defaultValue(def), minimum(def), maximum(def), value(def) {}
};

struct UiControl {
    platform::ControlId controlId;
    std::int32_t row;
    std::atomic<platform::WindowHandle> hwnd{0};       // set when the main window creates the control
    std::atomic<std::uintptr_t> savedWindowProc{0};  // set when the main window subclasses it
    UiControl(platform::ControlId id, std::int32_t r) : controlId(id), row(r) {}
    virtual ~UiControl() = default;
};

struct BoolUiParameter : BoolParameter, UiControl {
    BoolUiParameter(std::string key, bool v, platform::ControlId id, std::int32_t r)
        : BoolParameter(std::move(key), v), UiControl(id, r) {}
};

struct IntUiParameter : IntParameter, UiControl {
    IntUiParameter(std::string key, std::int32_t def, std::int32_t min, std::int32_t max, platform::ControlId id,
                   std::int32_t r)
        : IntParameter(std::move(key), def, min, max), UiControl(id, r) {}
};

struct IntChoiceParameter : IntParameter, UiControl {
    std::vector<std::int32_t> choices;
    IntChoiceParameter(std::string key, std::int32_t def, const std::vector<std::int32_t>& list,
                       platform::ControlId id, std::int32_t r)
        : IntParameter(std::move(key), def, list.front(), list.back()), UiControl(id, r), choices(list) {}
};

struct FloatChoiceParameter : Parameter, UiControl {
    float defaultValue;
    float minimum;
    float maximum;
    std::atomic<float> value;
    std::vector<float> choices;
    FloatChoiceParameter(std::string key, float def, const std::vector<float>& list, platform::ControlId id,
                         std::int32_t r)
        : Parameter(std::move(key)), UiControl(id, r), defaultValue(def), minimum(list.front()),
          maximum(list.back()), value(def), choices(list) {}
};

struct StringUiParameter : StringParameter, UiControl {
    StringUiParameter(std::string key, const std::string& def, platform::ControlId id, std::int32_t r)
        : StringParameter(std::move(key), def), UiControl(id, r) {}
};

// A combo box whose entries are a list of texts owned with the parameter.
struct ListParameter : StringUiParameter {
    ListParameter(std::string key, const std::string& def, platform::ControlId id, std::int32_t r)
        : StringUiParameter(std::move(key), def, id, r), m_list(std::make_shared<const std::vector<std::string>>()) {}

    std::shared_ptr<const std::vector<std::string>> list() const {
        const std::lock_guard lock(m_listMutex);
        return m_list;
    }
    void setList(std::vector<std::string> texts) {
        auto fresh = std::make_shared<const std::vector<std::string>>(std::move(texts));
        const std::lock_guard lock(m_listMutex);
        m_list = std::move(fresh);
    }

private:
    mutable std::mutex m_listMutex;
    std::shared_ptr<const std::vector<std::string>> m_list;
};

// A push button: its name is its text; never stored.
struct ActionButton : Parameter, UiControl {
    ActionButton(std::string text, platform::ControlId id, std::int32_t r) : Parameter(std::move(text)), UiControl(id, r) {}
};

// Shows the value in the parameter's control (check box, text, combo box).
void gf_showBoolParameter(const BoolUiParameter& p);
// Enables or disables the control bound to a setting or push button; nothing
// when the window has no such control.
void gf_enableControl(const UiControl& control, bool enabled);
// The window's control for it is there and enabled.
bool gf_controlEnabled(const UiControl& control);
// Defined by the main window (app/): set the control's text to the value and
// repaint; a missing control logs "GetDlgItem failed for ID {}".
void gf_showIntParameter(const IntParameter& p, const UiControl& control);
void gf_showStringParameter(const StringParameter& p, const UiControl& control);
template <class T>
void gf_showIntParameter(const T& p) {
    gf_showIntParameter(static_cast<const IntParameter&>(p), static_cast<const UiControl&>(p));
}
template <class T>
void gf_showStringParameter(const T& p) {
    gf_showStringParameter(static_cast<const StringParameter&>(p), static_cast<const UiControl&>(p));
}
void gf_fillIntComboBox(const IntChoiceParameter& p);
void gf_fillCallsignComboBox();

}  // namespace skh
