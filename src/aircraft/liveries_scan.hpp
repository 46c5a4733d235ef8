#pragma once
// The liveries scan driver behind gf_scanLiveries (liveries.hpp): the roots,
// one task per aircraft configuration file under the task throttle, the
// gathering, correcting, thinning and sorting of the records, the cache and
// the reports. Start-up worker thread; the tasks run on threads of their own
// and every one of them has ended when a call here returns.
#include <cstdint>
#include <string>
#include <vector>

namespace skh {

enum class ScanOutcome { Found, NothingFound, Stopped };

// Scans the roots (path texts, numbered 1 to 10 in order) into the cache and
// the reports. A scan that finds nothing writes its reports all the same.
ScanOutcome lf_scanLiveryFolders(const std::vector<std::string>& roots);
// Walks one root, folders listed in name order (ignoring case), and merges
// its records into g_liveries.
void lf_scanLiveryRoot(std::int32_t folderNo, const std::string& root);
// The most tasks that ran at once since the last reset.
std::int32_t gf_scanTaskHighWater();
void gf_resetScanTaskHighWater();

}  // namespace skh
