#pragma once
// The output folders of the airports scan (airports\my_ORBX and
// airports\my_thirdparty) are never emptied while a scan runs: the scan
// writes into a staging folder beside each, and only a scan that ran to its
// end swaps it in. The folder's previous contents are kept as a backup, and
// files the user placed there (any file the last scan did not write, as its
// list beside the folder tells) are carried over into the new folder and stay
// in force: the scan's file of the same name, or its .txt link beside the
// user's .xml, is left out (the loader takes a link before a stand file, so
// the scan's .xml may stay beside the user's link). A folder without a list
// (left by an older version) is rebuilt completely.
//
//   airports\my_ORBX            the files in use
//   airports\my_ORBX.scanning   what the running scan writes
//   airports\my_ORBX.previous   the files in use before the last swap
//   airports\my_ORBX.scanned    the names of the files the last scan wrote
#include <filesystem>
#include <string>

namespace skh {

struct ScanFolder {
    std::filesystem::path live;
    std::filesystem::path staging;
    std::filesystem::path backup;
    std::filesystem::path scannedList;
};

ScanFolder lf_scanFolder(const std::filesystem::path& live);

// Empties (or creates) the staging folder. Throws std::filesystem errors.
void lf_prepareStaging(const ScanFolder& folder);
// Swaps the staging folder in, with the user's files carried over and the
// list written before anything of it is in force; false, with a log line,
// when a user's file could not be carried over, the list could not be
// written or the swap failed: the files in use then stay as they were.
bool lf_installStaging(const ScanFolder& folder);
// Removes the staging folder of a scan that did not run to its end.
void lf_discardStaging(const ScanFolder& folder);

}  // namespace skh
