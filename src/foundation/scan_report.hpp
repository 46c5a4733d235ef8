#pragma once
// The report of the add-on airports scan: lines that any scan thread adds
// (the BGL tasks, the publisher lookup of the aircraft data) and that the
// scan writes out once all its tasks have ended. Guarded by its own mutex.
#include <string>
#include <vector>

namespace skh {

void gf_addScanReport(std::string line);
// Adds the lines in their order under one lock, so they stay together.
void gf_addScanReportLines(std::vector<std::string>&& lines);
// Empties the report and makes room for the lines of a scan.
void gf_startScanReport();
// Hands the lines over and leaves the report empty.
std::vector<std::string> gf_takeScanReport();

}  // namespace skh
