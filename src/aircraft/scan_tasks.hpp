#pragma once
// One aircraft configuration file scanned as a task of its own: read in its
// charset, checked, typed and cut into livery records. The scan driver runs
// each on a thread of its own and gives back the task slot when it ends.
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

#include "aircraft/livery_data.hpp"

namespace skh {

// Files and lines beyond these sizes are no aircraft.cfg anyone wrote by
// hand: a larger file is skipped, a longer line dropped, each reported.
inline constexpr std::uintmax_t kMaxCfgFileBytes = 8u * 1024 * 1024;
inline constexpr std::size_t kMaxCfgLineBytes = 4096;

// `filePath` is the file's path text in the simulator's form.
std::list<LiveryData> lf_scanFolder(std::int32_t folderNo, const std::string& filePath);
std::list<LiveryData> lf_scanIvaoFolder(std::int32_t folderNo, const std::string& filePath);

}  // namespace skh
