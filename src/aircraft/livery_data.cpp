#include "aircraft/livery_data.hpp"

#include <algorithm>
#include <tuple>

#include "foundation/format.hpp"

namespace skh {

std::vector<LiveryData> g_liveries;

ReportList g_emptyAircraftCfgFiles;
ReportList g_invalidAircraftCfgFiles;
ReportList g_incompleteFltsimSections;
ReportList g_invalidAirlineCodes;
ReportList g_invalidModelCodes;
ReportList g_codeFixes;

TextSet g_dontUseTitles;

namespace {

std::mutex s_scannedTitlesMutex;
TextMap<std::uint64_t> s_scannedTitles;  // title -> order of the task that owns it
thread_local std::uint64_t t_taskOrder = 0;

}  // namespace

bool liveryKeyEqual(const LiveryData& a, const LiveryData& b) {
    return a.title == b.title && a.airl == b.airl && a.type == b.type && a.atcid == b.atcid && a.cargo == b.cargo;
}

void gf_sortLiveries(std::vector<LiveryData>& liveries) {
    std::stable_sort(liveries.begin(), liveries.end(), [](const LiveryData& a, const LiveryData& b) {
        return std::tie(a.airl, a.type, a.title) < std::tie(b.airl, b.type, b.title);
    });
}

void ReportList::add(std::string line) {
    const std::lock_guard lock(m_mutex);
    m_lines.push_back(std::move(line));
}

std::size_t ReportList::size() const {
    const std::lock_guard lock(m_mutex);
    return m_lines.size();
}

std::vector<std::string> ReportList::lines() const {
    const std::lock_guard lock(m_mutex);
    return m_lines;
}

void ReportList::clear() {
    const std::lock_guard lock(m_mutex);
    m_lines.clear();
}

LiveryData lf_makeLiveryData(std::int32_t folderNo, std::string airline, std::string type, int passenger,
                             std::string title, std::string atcId) {
    {
        const std::lock_guard lock(s_scannedTitlesMutex);
        const auto [it, inserted] = s_scannedTitles.try_emplace(title, t_taskOrder);
        if (!inserted) {
            if (it->second <= t_taskOrder) return {};
            it->second = t_taskOrder;  // an earlier file takes the title over
        }
    }
    return {std::move(airline), std::move(type), std::move(title), std::move(atcId), folderNo, passenger == 0};
}

bool lf_isDontUseTitle(std::string_view title) { return g_dontUseTitles.find(title) != g_dontUseTitles.end(); }

void gf_setTaskOrder(std::uint64_t order) { t_taskOrder = order; }

bool gf_ownsTitle(std::string_view title, std::uint64_t order) {
    const std::lock_guard lock(s_scannedTitlesMutex);
    const auto it = s_scannedTitles.find(title);
    return it != s_scannedTitles.end() && it->second == order;
}

std::size_t gf_scannedTitleCount() {
    const std::lock_guard lock(s_scannedTitlesMutex);
    return s_scannedTitles.size();
}

void gf_clearScannedTitles() {
    const std::lock_guard lock(s_scannedTitlesMutex);
    s_scannedTitles.clear();
}

void lf_addCodeFix(std::string line) { g_codeFixes.add(std::move(line)); }
void lf_addInvalidCfgFile(std::string line) { g_invalidAircraftCfgFiles.add(std::move(line)); }
void lf_addIncompleteSection(std::string line) { g_incompleteFltsimSections.add(std::move(line)); }

void lf_addError12(std::string_view code, std::string_view pathText, std::string_view suffix) {
    std::string line = skh::format("{:12} in {} ", code, pathText);
    line += suffix;
    g_invalidAirlineCodes.add(std::move(line));
}

void lf_addError16(std::string_view code, std::string_view pathText) {
    g_invalidModelCodes.add(skh::format("{:16} in {}", code, pathText));
}

}  // namespace skh
