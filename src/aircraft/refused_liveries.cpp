#include "aircraft/refused_liveries.hpp"

#include <algorithm>

#include "aircraft/liveries.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"

namespace skh {

std::vector<std::string> g_refusedTitles;
TextSet g_refusedLiveryKeys;
TextSet g_noMatchLines;

namespace {

TextSet s_refusedSet;

}  // namespace

void lf_reportUncreatable(const FlightIdent& ac) {
    if (g_stopRequested.load() || g_closeRequested.load()) return;
    gf_setStatusMessage(skh::format("{} '{}' could not be created by your Sim!", ac.callsign, ac.liveryTitle), true);
    g_refusedTitles.emplace_back(ac.liveryTitle);
    s_refusedSet.emplace(ac.liveryTitle);
    g_refusedLiveryKeys.insert(ac.type + " " + ac.airline);
    if (g_refusedTitles.size() >= kRefusalLimit) {
        const std::string text = skh::format("There are too many liveries that could not be created by {}!", "P3D");
        gf_logRaw(skh::format("\n{}Error 81, {}\n", "===> ", text));
        throw UserErrorException(81, skh::format("{}, see Log.txt", text));
    }
}

bool gf_isRefusedTitle(std::string_view title) { return s_refusedSet.find(title) != s_refusedSet.end(); }

std::vector<std::string> gf_listMapEntries() {
    std::vector<std::string> lines;
    lines.reserve(g_refusedLiveryKeys.size());
    for (const std::string& key : g_refusedLiveryKeys) lines.push_back("  " + key);
    std::sort(lines.begin(), lines.end());
    return lines;
}

void gf_clearRefusedLiveries() {
    g_refusedTitles.clear();
    s_refusedSet.clear();
    g_refusedLiveryKeys.clear();
}

void gf_logNoMatch() {
    if (g_noMatchLines.empty() || !LOG.value.load()) return;
    std::vector<std::string> lines(g_noMatchLines.begin(), g_noMatchLines.end());
    std::sort(lines.begin(), lines.end());
    gf_logRaw("\nNo match found for:");
    for (const std::string& line : lines) gf_logRaw(line);
    gf_logRaw("");
}

void gf_clearNoMatch() { g_noMatchLines.clear(); }

}  // namespace skh
