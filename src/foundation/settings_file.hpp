#pragma once
// parameters.xml: loading every setting at start, saving one setting at a time
// after each change, and the one-time update after a program upgrade.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "foundation/parameters.hpp"

namespace skh {

// Held around every load and save of parameters.xml (the window and the
// start-up worker both save). Recursive: the load runs the savers.
extern std::recursive_mutex g_settingsMutex;

struct ParameterLists {
    std::vector<BoolParameter*> plainBools;
    std::vector<BoolUiParameter*> windowBools;
    std::vector<IntParameter*> plainInts;
    std::vector<IntParameter*> windowInts;  // each also a UiControl
    std::vector<UiControl*> windowIntControls;  // null: no control to show the value in
    std::vector<StringParameter*> strings;
    std::vector<StringUiParameter*> windowStrings;
};
// The six loader lists in their order.
const ParameterLists& gf_parameterLists();

void gf_loadParameters();
void gf_readParameters(const ParameterLists& lists);

void gf_saveBoolParameter(const BoolParameter& p);
void gf_saveIntParameter(const IntParameter& p);
void gf_saveStringParameter(const StringParameter& p);
void gf_setStringParameter(StringParameter& p, const std::string& text);
bool lf_removeParameter(const Parameter& p);

bool gf_findIntParameter(IntParameter& p, const pugi::xml_document& doc, bool log);
bool gf_appendParameterNode(pugi::xml_node node, const std::string& key, const std::string& value);
bool gf_setBoolAttribute(pugi::xml_node node, const char* name, bool value);

void gf_logParameter(const StringParameter& p);
void gf_logParameter(const BoolParameter& p);
void gf_logParameter(const IntParameter& p);

// Sets RANGE (clamped to its range) and the current range globals; returns
// the range in metres.
std::uint32_t gf_setRangeSelection(std::int32_t nm);

// A count of aircraft snapped to the choices of MAX_PARK_SEL and MAX_LIVE_SEL
// (0, 10, 25, 50, 75, 100, 500); a negative count gives 500.
std::int32_t gf_snapMaxAircraft(std::int32_t count);

void lf_versionUpdate();

// True for a key of the folder settings (lfolderN, afolderN).
bool gf_isFolderKey(const std::string& key);

}  // namespace skh
