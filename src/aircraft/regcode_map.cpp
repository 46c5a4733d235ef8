#include "aircraft/regcode_map.hpp"

#include <exception>

#include "aircraft/flight_ident.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/livery_reports.hpp"
#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "foundation/upcalls.hpp"

namespace skh {

namespace fs = std::filesystem;

RegcodeMap g_regcodeMap;
std::vector<std::string> g_regcodeReportLines;
const fs::path g_offlineRegcodesReport = g_infoFolder / "OfflineRegcodes.txt";

namespace {

std::string fmtAirlineType(const LiveryData& livery) { return skh::format("{:3} {:4}", livery.airl, livery.type); }

// Titles of the entries without any registration, added to the "don't use"
// titles; returns how many entries had none.
std::size_t addDontUseTitles(const std::vector<AigRegcodeEntry>& entries) {
    std::size_t added = 0;
    for (const AigRegcodeEntry& entry : entries) {
        if (!entry.regcodes.empty()) continue;
        g_dontUseTitles.insert(entry.title);
        ++added;
    }
    return added;
}

}  // namespace

void gf_clearRegcodeMap() { g_regcodeMap.clear(); }

void lf_checkInlineRegcodes() {
    std::vector<std::string> lines;
    for (const LiveryData& livery : g_liveries) {
        if (livery.atcid.empty()) continue;
        const TitleView title = lf_findTitleView(livery.title);
        if (title.empty()) {
            lines.push_back(skh::format("==> [{}] {} '{}' not available, system error, should not happen?",
                                        fmtAirlineType(livery), livery.atcid, livery.title));
            continue;
        }
        const auto [it, inserted] = g_regcodeMap.try_emplace(livery.atcid, title);
        if (!inserted && it->second != title) {
            lines.push_back(skh::format("{} '{}' => already in use by '{}'", livery.atcid, livery.title, it->second));
        }
    }
    if (lines.empty()) return;
    if (lf_writeReportLines(lines, g_inlineRegcodesReport)) {
        gf_logRaw(skh::format("{} in-line regcode clashes, see '{}'", lines.size(), g_inlineRegcodesReport.string()));
    }
}

void lf_mergeRegcodes(const std::vector<AigRegcodeEntry>& entries) {
    std::int64_t added = 0;
    std::int64_t replaced = 0;
    std::int64_t special = 0;
    for (const AigRegcodeEntry& entry : entries) {
        const TitleView title = lf_findTitleView(entry.title);
        if (title.empty()) continue;
        for (const std::string& regcode : entry.regcodes) {
            const auto [it, inserted] = g_regcodeMap.try_emplace(regcode, title);
            if (inserted) {
                ++added;
            } else if (it->second != title) {
                g_regcodeReportLines.push_back(
                    skh::format("   regcode {} for '{}', instead of the same for '{}'", regcode, title, it->second));
                it->second = title;
                ++replaced;
            }
        }
        if (entry.special) {
            gf_addExcludedTitle(title);
            ++special;
        }
    }
    std::string line = skh::format("{} new regcode{} added", added, gf_plural(added));
    if (replaced != 0) line += skh::format(", {} regcode{} replaced", replaced, gf_plural(replaced));
    if (special != 0) line += skh::format(", {} regcode{} defined as special", special, gf_plural(special));
    g_regcodeReportLines.push_back(std::move(line));
}

void lf_processAigRegcodes() {
    g_regcodeReportLines.push_back(skh::format("Processing file {}", g_aigRegcodesXml.string()));
    std::vector<AigRegcodeEntry> entries;
    if (!gf_readAigRegcodes(entries)) {
        g_regcodeReportLines.push_back(skh::format(
            "There were errors processing the AIG-regcode file '{}', see Log.txt", g_aigRegcodesXml.string()));
    }
    lf_mergeRegcodes(entries);
}

void lf_processMyRegcodes() {
    if (gf_countFolderEntries(g_myRegcodesFolder) == 0) return;
    g_regcodeReportLines.push_back(skh::format("Processing files in {}", g_myRegcodesFolder.string()));
    std::vector<AigRegcodeEntry> entries;
    if (!gf_readRegcodeFiles(g_myRegcodesFolder, entries)) {
        gf_setStatusMessage(skh::format("There were errors processing the regcode files in folder '{}', see Log.txt",
                                        g_myRegcodesFolder.string()),
                            true);
    }
    lf_mergeRegcodes(entries);
}

void lf_writeOfflineRegcodes() {
    try {
        g_regcodeReportLines.clear();
        {
            const DecryptedDataSet plain(g_aigRegcodesEnc, g_aigRegcodesXml);
            if (!plain.ok()) return;
            lf_processAigRegcodes();
        }
        lf_processMyRegcodes();
        fs::remove(g_offlineRegcodesReport);
        if (!g_regcodeReportLines.empty() && lf_writeReportLines(g_regcodeReportLines, g_offlineRegcodesReport)) {
            gf_logRaw(skh::format("Offline regcode files processed, results can be found in '{}'",
                                  g_offlineRegcodesReport.string()));
        }
        if (!g_excludedTitles.empty()) gf_logRaw(skh::format("{} special liveries", g_excludedTitles.size()));
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("exception: {}", e.what()));
    }
}

void lf_readDontUseTitlesFile() {
    std::vector<AigRegcodeEntry> entries;
    if (!gf_readAigRegcodes(entries)) {
        gf_logRaw(
            skh::format("There were errors in processing the file '{}', see the Log.txt", g_aigRegcodesXml.string()));
    }
    const std::size_t added = addDontUseTitles(entries);
    gf_logRaw(skh::format("{} don't use title{} read", added, gf_pluralUnsigned(added)));
}

void lf_readDontUseTitlesFolder() {
    std::vector<AigRegcodeEntry> entries;
    if (!gf_readRegcodeFiles(g_myRegcodesFolder, entries)) {
        gf_logRaw(skh::format("There were errors in processing the regcode files in folder '{}', see the Log.txt",
                              g_myRegcodesFolder.string()));
    }
    const std::size_t added = addDontUseTitles(entries);
    gf_logRaw(skh::format("{} don't use title{} read from files in {}", added, gf_pluralUnsigned(added),
                          g_myRegcodesFolder.string()));
}

void lf_readDontUseTitles() {
    try {
        {
            const DecryptedDataSet plain(g_aigRegcodesEnc, g_aigRegcodesXml);
            if (plain.ok()) lf_readDontUseTitlesFile();
        }
        if (gf_countFolderEntries(g_myRegcodesFolder) > 0) lf_readDontUseTitlesFolder();
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("exception: {}", e.what()));
    }
}

}  // namespace skh
