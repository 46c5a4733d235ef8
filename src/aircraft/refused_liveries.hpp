#pragma once
// Liveries the simulator refused to create, beyond what liveries.hpp offers:
// the record of refused titles and of the types and airlines they belonged
// to, for the matching summary. Main loop thread only.
#include <cstddef>
#include <string>
#include <vector>

#include "foundation/hash.hpp"

namespace skh {

// After this many refusals in one process the run ends with user error 81.
inline constexpr std::size_t kRefusalLimit = 20;

// Owned copies of the refused titles, in the order of refusal (a title
// refused twice stands twice); they outlive every clear of the index.
extern std::vector<std::string> g_refusedTitles;
// "type airline" of every refused aircraft.
extern TextSet g_refusedLiveryKeys;

// The entries of g_refusedLiveryKeys, each after two blanks, sorted.
std::vector<std::string> gf_listMapEntries();
// Forgets every refusal (tests; a new process starts without any).
void gf_clearRefusedLiveries();

}  // namespace skh
