#include "aircraft/livery_reports.hpp"

#include <algorithm>
#include <exception>

#include "aircraft/dbase.hpp"
#include "aircraft/livery_data.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"

namespace skh {

namespace fs = std::filesystem;

std::vector<std::string> g_dbaseUpdates;

namespace {

const char* boolText(bool value) { return value ? "true" : "false"; }

// Writes one report and its log line ("{count}..., see {path}"); a report
// that could not be written is logged as such instead.
void writeReport(const std::vector<std::string>& lines, const fs::path& path, const std::string& logLine) {
    if (lf_writeReportLines(lines, path)) gf_logRaw(logLine);
}

void writeSortedReport(const ReportList& list, const fs::path& path, const char* format, bool withPlural, bool unique) {
    std::vector<std::string> lines = list.lines();
    const std::size_t count = lines.size();
    std::sort(lines.begin(), lines.end());
    if (unique) lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    const std::string logLine = withPlural
                                    ? skh::format(skh::runtime(format), count, gf_pluralUnsigned(count), path.string())
                                    : skh::format(skh::runtime(format), count, path.string());
    writeReport(lines, path, logLine);
}

}  // namespace

bool lf_writeReportLines(const std::vector<std::string>& lines, const fs::path& path) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    if (!gf_writeFileAtomically(path, text)) {
        gf_logWarning(skh::format("could not write {} ({} lines)", path.string(), lines.size()));
        return false;
    }
    return true;
}

void lf_removePreviousReports() {
    const fs::path* const entries[] = {&g_noFltsimReport,
                                       &g_liveriesScannedXml,
                                       &g_inlineRegcodesReport,
                                       &g_invalidAirlineCodesReport,
                                       &g_invalidAircraftCodesReport,
                                       &g_fixesReport,
                                       &g_invalidAircraftCfgReport,
                                       &g_incompleteSectionsReport,
                                       &g_errorsFolder};
    try {
        for (const fs::path* entry : entries) fs::remove(*entry);
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("problems with removing previous files: {}", e.what()));
    }
}

void lf_applyDbaseToLiveries() {
    for (LiveryData& livery : g_liveries) {
        if (livery.atcid.empty()) continue;
        const auto record = gf_findDbaseRecord(livery.atcid);
        if (!record) continue;
        if (livery.cargo != record->cargo) {
            g_dbaseUpdates.push_back(skh::format("{:80} {} cargo {} => {}", livery.title, livery.atcid,
                                                 boolText(livery.cargo), boolText(record->cargo)));
            livery.cargo = record->cargo;
        }
        // An empty airline or type would turn the livery into "no record":
        // only non-empty values correct it.
        const std::string& airline = record->opr.empty() ? record->airl : record->opr;
        if (!airline.empty() && livery.airl != airline) {
            g_dbaseUpdates.push_back(
                skh::format("{:80} {} airl {} => {}", livery.title, livery.atcid, livery.airl, airline));
            livery.airl = airline;
        }
        if (!record->type.empty() && livery.type != record->type) {
            g_dbaseUpdates.push_back(
                skh::format("{:80} {} model {} => {}", livery.title, livery.atcid, livery.type, record->type));
            livery.type = record->type;
        }
    }
}

void lf_writeCodeFixes() {
    try {
        fs::create_directories(g_fixesReport.parent_path());
        const std::vector<std::string> lines = g_codeFixes.lines();
        writeReport(lines, g_fixesReport, skh::format("{} code fixes, see {}", lines.size(), g_fixesReport.string()));
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("Error writing file {}: {}", g_fixesReport.string(), e.what()));
    }
}

void lf_writeScanReport() {
    const bool anyError = g_invalidAirlineCodes.size() + g_invalidModelCodes.size() + g_codeFixes.size() +
                              g_invalidAircraftCfgFiles.size() + g_incompleteFltsimSections.size() >
                          0;
    gf_logRaw(anyError ? "\nErrors:" : "\nNo errors");
    const auto ensureErrorsFolder = [] {
        if (!fs::exists(g_errorsFolder)) fs::create_directory(g_errorsFolder);
    };
    if (g_invalidAirlineCodes.size() > 0) {
        ensureErrorsFolder();
        writeSortedReport(g_invalidAirlineCodes, g_invalidAirlineCodesReport, "{} invalid airline code{}, see {}", true,
                          false);
    }
    if (g_invalidModelCodes.size() > 0) {
        ensureErrorsFolder();
        writeSortedReport(g_invalidModelCodes, g_invalidAircraftCodesReport, "{} invalid model code{}, see {}", true,
                          false);
    }
    if (g_codeFixes.size() > 0) lf_writeCodeFixes();
    if (g_invalidAircraftCfgFiles.size() > 0) {
        ensureErrorsFolder();
        writeSortedReport(g_invalidAircraftCfgFiles, g_invalidAircraftCfgReport,
                          "{} invalid aircraft.cfg files, see {}", false, false);
    }
    if (g_incompleteFltsimSections.size() > 0) {
        ensureErrorsFolder();
        writeSortedReport(g_incompleteFltsimSections, g_incompleteSectionsReport,
                          "{} incomplete [fltsim.x] sections, see {}", false, true);
    }
    gf_logRaw("\nInformation:");
    if (g_emptyAircraftCfgFiles.size() > 0) {
        writeSortedReport(g_emptyAircraftCfgFiles, g_noFltsimReport, "{} empty aircraft.cfg files, see {}", false,
                          false);
    }
    if (!g_dbaseUpdates.empty()) {
        writeReport(g_dbaseUpdates, g_conversionsReport,
                    skh::format("{} liveries updated with real live data from dbase, see {}", g_dbaseUpdates.size(),
                                g_conversionsReport.string()));
    }
}

void lf_clearLiveryLists() {
    g_dbaseUpdates.clear();
    g_invalidAirlineCodes.clear();
    g_invalidModelCodes.clear();
    g_incompleteFltsimSections.clear();
    g_emptyAircraftCfgFiles.clear();
    g_invalidAircraftCfgFiles.clear();
    g_codeFixes.clear();
    gf_clearScannedTitles();
    g_dontUseTitles.clear();
}

}  // namespace skh
