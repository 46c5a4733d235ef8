#pragma once
// The livery index: every installed livery title, stored once and looked up
// by airline and type (passenger and cargo apart) or by type alone, and the
// per-category summary that switches off the aircraft kinds that have none.
// Built from g_liveries by the processing of the scanned liveries; read
// without locks while a run goes on; see liveries.hpp for how long the title
// views live.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/aircraft_types.hpp"
#include "foundation/hash.hpp"

namespace skh {

using TitleView = std::string_view;
using TitleViews = std::vector<TitleView>;

struct TitleEntry {
    TitleView title;
    bool cargo = false;
};

// airline -> type -> titles. The one owner of the title strings (through the
// title store behind it).
using ModelTitleMap = TextMap<TextMap<std::vector<TitleEntry>>>;
// [0] passenger, [1] cargo: airline -> type -> titles of that kind.
using LiveryIndex = std::array<TextMap<TextMap<TitleViews>>, 2>;
// [0] passenger, [1] cargo: type -> titles of that kind over all airlines.
using LiveryTypeIndex = std::array<TextMap<TitleViews>, 2>;

extern ModelTitleMap g_modelTitleMap;
extern LiveryIndex g_liveryIndex;
extern LiveryTypeIndex g_liveryTypeIndex;

// Titles of special liveries, given only through their registrations.
extern TitleViews g_excludedTitles;
bool gf_isExcludedTitle(TitleView title);
void gf_addExcludedTitle(TitleView title);

// Installed types of the Light, Buzjets and Rotorcraft categories.
extern std::vector<std::string> g_lightTypes;
extern std::vector<std::string> g_buzjetTypesInstalled;
extern std::vector<std::string> g_rotorcraftTypesInstalled;

void lf_indexModels();
void lf_indexLiveries();
void lf_indexTypes();
void lf_summarizeCategories(AircraftCategory category);
void lf_logCategoryTypes(bool light, bool buzjets, bool rotorcraft, const std::vector<std::string>& types);

// The index's view of the title equal to `text`; empty when not installed.
TitleView lf_findTitleView(std::string_view text);
bool gf_hasLivery(std::string_view airline, std::string_view type);
// The airline codes of the index (each cut to 3 characters), sorted.
std::vector<std::string> gf_liveryKeys();

// Number of distinct titles and their bytes (for the memory budget).
std::size_t gf_titleCount();
std::size_t gf_titleBytes();

}  // namespace skh
