#include "foundation/scan_report.hpp"

#include <iterator>
#include <mutex>

namespace skh {

namespace {

std::mutex g_scanReportMutex;
std::vector<std::string> g_scanReport;  // guarded by g_scanReportMutex

}  // namespace

void gf_addScanReport(std::string line) {
    const std::lock_guard lock(g_scanReportMutex);
    g_scanReport.push_back(std::move(line));
}

void gf_addScanReportLines(std::vector<std::string>&& lines) {
    const std::lock_guard lock(g_scanReportMutex);
    g_scanReport.insert(g_scanReport.end(), std::make_move_iterator(lines.begin()),
                        std::make_move_iterator(lines.end()));
    lines.clear();
}

void gf_startScanReport() {
    const std::lock_guard lock(g_scanReportMutex);
    g_scanReport.clear();
    if (g_scanReport.capacity() < 2048) g_scanReport.reserve(2048);
}

std::vector<std::string> gf_takeScanReport() {
    const std::lock_guard lock(g_scanReportMutex);
    std::vector<std::string> lines;
    lines.swap(g_scanReport);
    return lines;
}

}  // namespace skh
