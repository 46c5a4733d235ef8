#include "support/default_settings.hpp"

#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"

namespace skh::test {

void resetSettingsToDefaults() {
    const ParameterLists& lists = gf_parameterLists();
    for (BoolParameter* p : lists.plainBools) p->value = p->defaultValue;
    for (BoolUiParameter* p : lists.windowBools) p->value = p->defaultValue;
    for (IntParameter* p : lists.plainInts) p->value = p->defaultValue;
    for (IntParameter* p : lists.windowInts) p->value = p->defaultValue;
    for (StringParameter* p : lists.strings) p->value.set(p->defaultValue);
    for (StringUiParameter* p : lists.windowStrings) p->value.set(p->defaultValue);
    ALL_INSTALL_PATH.value.set(ALL_INSTALL_PATH.defaultValue);
    MAX_FIT_FL.value = MAX_FIT_FL.defaultValue;
    CALLSIGN_2_OBJECTID.value.set(CALLSIGN_2_OBJECTID.defaultValue);
    CALLSIGN_2_OBJECTID.setList({});
    gf_setRangeSelection(RANGE.defaultValue);
}

}  // namespace skh::test
