#pragma once
// The reports of a liveries scan: removal of the previous scan's files, the
// corrections of the scanned liveries from the aircraft database, one report
// file per non-empty list with a summary line each in the log, and the
// emptying of the lists. Start-up worker only, after every scan task ended.
#include <filesystem>
#include <string>
#include <vector>

namespace skh {

// Lines "{:80} {} cargo|airl|model {} => {}" of the database corrections.
extern std::vector<std::string> g_dbaseUpdates;

// Never throws; the first failure stops the removal and is logged.
void lf_removePreviousReports();
void lf_applyDbaseToLiveries();
// Throws the file-system error of creating output/errors.
void lf_writeScanReport();
void lf_writeCodeFixes();
// Writes the lines through a temporary file renamed over `path` (missing
// folders are created); false when that failed, which is logged.
bool lf_writeReportLines(const std::vector<std::string>& lines, const std::filesystem::path& path);
void lf_clearLiveryLists();

}  // namespace skh
