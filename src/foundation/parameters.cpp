#include "foundation/parameters.hpp"

#include <string>

#include "foundation/parameter_table.hpp"
#include "foundation/win_interfaces.hpp"

namespace skh {

void gf_showBoolParameter(const BoolUiParameter& p) {
    const platform::WindowHandle h = p.hwnd.load();
    if (h != 0) platform::setCheck(h, p.value.load());
}

void gf_enableControl(const UiControl& control, bool enabled) {
    platform::WindowHandle h = control.hwnd.load();
    if (h == 0) h = platform::getDlgItem(control.controlId);
    if (h != 0) platform::enableWindow(h, enabled);
}

bool gf_controlEnabled(const UiControl& control) {
    return platform::isWindowEnabled(platform::getDlgItem(control.controlId));
}

void gf_fillIntComboBox(const IntChoiceParameter& p) {
    const platform::WindowHandle h = p.hwnd.load();
    if (h == 0) return;
    platform::comboResetContent(h);
    for (const std::int32_t choice : p.choices) platform::comboAddString(h, gf_utf8ToUtf16(std::to_string(choice)));
    const std::int32_t value = p.value.load();
    for (std::size_t i = 0; i < p.choices.size(); ++i) {
        if (p.choices[i] == value) {
            platform::comboSetCurSel(h, static_cast<int>(i));
            break;
        }
    }
}

void gf_fillCallsignComboBox() {
    const platform::WindowHandle h = CALLSIGN_2_OBJECTID.hwnd.load();
    if (h == 0) return;
    platform::comboResetContent(h);
    const auto list = CALLSIGN_2_OBJECTID.list();
    for (const auto& text : *list) platform::comboAddString(h, gf_utf8ToUtf16(text));
    platform::comboSelectString(h, -1, gf_utf8ToUtf16(CALLSIGN_2_OBJECTID.value.get()));
}

}  // namespace skh
