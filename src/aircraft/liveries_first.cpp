// First cut of the livery services: an empty index that matches nothing.
#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/upcalls.hpp"

namespace skh {

std::atomic<bool> g_liveryIndexReady{false};
std::atomic<std::uint64_t>& g_liveryCount = g_mainWindowState.liveriesCount;
TextSet g_noMatchLines;

namespace {
std::vector<std::string> s_refusedTitles;
TextSet s_refusedSet;
}  // namespace

void gf_scanLiveries() { lf_processScannedLiveries(); }
void lf_processScannedLiveries() { g_liveryIndexReady = true; }
void gf_requestRescanWhenCacheGone() {}
void gf_initInUseTitles() {}
void gf_clearLiveryIndex() { g_liveryIndexReady = false; }

void gf_matchLiveryForSpawn(FlightIdent& ac) {
    ac.liveryTitle = {};
    if (!ac.registration.empty()) g_noMatchLines.insert(lf_fmtIdentKey(ac));
}

bool gf_matchLivery(FlightIdent& ac, bool standCargo, std::string_view standName) {
    if (!ac.liveryTitle.empty()) return true;
    ac.cargo = standCargo ? 1 : 0;
    if (LOG.value.load()) gf_log(skh::format("{:8}: {} no livery match ...", standName, gf_acDescriptionLong(ac)));
    return false;
}

void gf_logMatchingSummary() {}

void lf_reportUncreatable(const FlightIdent& ac) {
    if (g_stopRequested.load() || g_closeRequested.load()) return;
    gf_setStatusMessage(skh::format("{} '{}' could not be created by your Sim!", ac.callsign, ac.liveryTitle), true);
    s_refusedTitles.emplace_back(ac.liveryTitle);
    s_refusedSet.emplace(ac.liveryTitle);
    if (s_refusedTitles.size() >= 20) {
        const std::string text = "There are too many liveries that could not be created by P3D!";
        gf_logRaw(skh::format("\n===> Error 81, {}\n", text));
        throw UserErrorException(81, skh::format("{}, see Log.txt", text));
    }
}

bool gf_isRefusedTitle(std::string_view title) { return s_refusedSet.find(title) != s_refusedSet.end(); }

void gf_logNoMatch() {}
void gf_clearNoMatch() { g_noMatchLines.clear(); }

std::string gf_publisherFromFileName(std::string_view fileName, const ScanReportSink& report) {
    if (gf_containsNoCase(fileName, "ORBX")) {
        if (report) report("from filename => publisher simaddon");
        return "simaddon";
    }
    for (const auto& publisher : g_publishers) {
        for (const std::string& name : publisher) {
            if (gf_containsNoCase(fileName, name)) return publisher.front();
        }
    }
    return "unknown";
}

}  // namespace skh
