#pragma once
// Similar types of installed liveries, from the aircraft database's groups of
// similar types: per type, the other installed members of its group; per
// airline and type, the similar types of which that airline has a livery
// while it has none of the type itself. Built once per processing of the
// scanned liveries; the lookups belong to the matching's thread.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/hash.hpp"

namespace skh {

extern TextMap<std::vector<std::string>> g_installedSimilarTypes;
extern TextMap<TextMap<std::vector<std::string>>> g_airlineSimilarTypes;

void gf_buildSimilarModels();
void gf_clearSimilarModels();
// The similar types of the airline's type (shuffled when RANDOM is on), or
// an empty list. The list stays valid until the similar models are cleared.
const std::vector<std::string>& gf_findSimilarModel(std::string_view airline, std::string_view type);
// The installed similar types of a type alone, or nullptr.
const std::vector<std::string>* gf_findSimilarTypes(std::string_view type);
// A list of the one type the source gives, or an empty list; overwritten by
// the next call.
const std::vector<std::string>& gf_singleTypeList(const std::function<std::string()>& typeSource);

}  // namespace skh
