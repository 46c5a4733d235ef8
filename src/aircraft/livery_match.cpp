#include "aircraft/livery_match.hpp"

#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries.hpp"
#include "aircraft/refused_liveries.hpp"
#include "aircraft/regcode_map.hpp"
#include "aircraft/similar_models.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"
#include "foundation/text.hpp"

namespace skh {

std::array<std::int32_t, 6> g_matchesAtStep{};

namespace {

constexpr int kPickTries = 5;
const std::string_view kPrivate = "PVT";

std::int32_t depth() { return MATCHING_DEPTH.value.load(); }
bool logOn() { return LOG.value.load(); }

void logStep(const FlightIdent& ac, std::string_view step) {
    if (logOn()) gf_log(skh::format("          {} ={}= {}", gf_acDescription(ac), step, ac.liveryTitle));
}

// A static match found a title: refused titles are dropped without a word.
bool accept(FlightIdent& ac, std::string_view step) {
    if (gf_isRefusedTitle(ac.liveryTitle)) {
        ac.liveryTitle = {};
        return false;
    }
    logStep(ac, step);
    return true;
}

const std::vector<std::string>* categoryTypes(AircraftCategory category) {
    switch (category) {
        case CatLight:
            return &g_lightTypes;
        case CatBuzjets:
            return &g_buzjetTypesInstalled;
        case CatRotorcraft:
            return &g_rotorcraftTypesInstalled;
        default:
            return nullptr;
    }
}

}  // namespace

void lf_pickTitle(FlightIdent& ac, const TitleViews& candidates) {
    if (candidates.empty()) return;
    const auto n = static_cast<std::int64_t>(candidates.size());
    for (int attempt = 0; attempt < kPickTries; ++attempt) {
        ac.liveryTitle = candidates[gf_randomIndex(n)];
        if (g_excludedTitles.empty() || !gf_isExcludedTitle(ac.liveryTitle)) return;
    }
    TitleViews allowed;
    for (const TitleView title : candidates) {
        if (!gf_isExcludedTitle(title)) allowed.push_back(title);
    }
    if (!allowed.empty()) ac.liveryTitle = allowed[gf_randomIndex(static_cast<std::int64_t>(allowed.size()))];
}

bool lf_lookupIndex(FlightIdent& ac, std::string_view airline, std::string_view type, int index) {
    const auto& kind = g_liveryIndex.at(static_cast<std::size_t>(index));
    const auto a = kind.find(airline);
    if (a == kind.end()) return false;
    const auto t = a->second.find(type);
    if (t == a->second.end()) return false;
    lf_pickTitle(ac, t->second);
    return !ac.liveryTitle.empty();
}

bool lf_lookupKey(FlightIdent& ac, std::string_view airline, std::string_view type) {
    if (lf_lookupIndex(ac, airline, type, ac.cargo != 0 ? 1 : 0)) return true;
    return ac.cargo != 0 && lf_lookupIndex(ac, airline, type, 0);
}

bool lf_matchAirlineModel(FlightIdent& ac) { return lf_lookupKey(ac, ac.airline, ac.type); }

bool lf_lookupModel(FlightIdent& ac, std::string_view type) {
    const auto& kind = g_liveryTypeIndex[ac.cargo != 0 ? 1 : 0];
    const auto t = kind.find(type);
    if (t == kind.end()) return false;
    lf_pickTitle(ac, t->second);
    return !ac.liveryTitle.empty();
}

bool lf_matchRegcode(FlightIdent& ac) {
    ac.liveryTitle = {};
    if (ac.registration.empty()) return false;
    const auto it = g_regcodeMap.find(ac.registration);
    if (it != g_regcodeMap.end()) ac.liveryTitle = it->second;
    return !ac.liveryTitle.empty();
}

bool lf_matchSimilarModel(FlightIdent& ac, std::string_view airline, std::string_view type) {
    for (const std::string& similar : gf_findSimilarModel(airline, type)) {
        if (gf_sizeCategory(similar) != ac.category) continue;
        if (lf_lookupKey(ac, airline, similar)) return true;
    }
    return false;
}

bool lf_matchAnyAirline(FlightIdent& ac, int& step) {
    step = 0;
    if (ac.liveryTitle.empty() && depth() == 4 && lf_lookupKey(ac, g_genericAirline, ac.type)) {
        step = 4;
        return true;
    }
    const std::vector<std::string>* categoryList = categoryTypes(ac.category);
    if (!ac.liveryTitle.empty() || categoryList == nullptr) return false;
    if (depth() >= 3 && ac.airline != kPrivate && lf_lookupKey(ac, g_genericAirline, ac.type)) {
        step = 4;
        return true;
    }
    if (lf_lookupModel(ac, ac.type)) {
        step = 5;
        return true;
    }
    const std::vector<std::string>* similar = gf_findSimilarTypes(ac.type);
    if (similar == nullptr) {
        similar = &gf_singleTypeList([categoryList] {
            if (categoryList->empty()) return std::string();
            return (*categoryList)[gf_randomIndex(static_cast<std::int64_t>(categoryList->size()))];
        });
    }
    for (const std::string& type : *similar) {
        if (lf_lookupModel(ac, type)) {
            step = 6;
            return true;
        }
    }
    return false;
}

bool lf_recordMatch(FlightIdent& ac, int step) {
    if (gf_isRefusedTitle(ac.liveryTitle)) {
        ac.liveryTitle = {};
        return false;
    }
    ++g_matchesAtStep.at(static_cast<std::size_t>(step - 1));
    logStep(ac, std::to_string(step));
    ac.fsltlModel = ac.liveryTitle.find("FSLTL_") != std::string_view::npos ? 1 : 0;
    return true;
}

void gf_resetMatchCounters() { g_matchesAtStep.fill(0); }

namespace {

// The steps of a live aircraft; the step that found the title, or 0.
int matchLive(FlightIdent& ac) {
    if (lf_matchRegcode(ac)) return 1;
    if (depth() < 2) return 0;
    if (ac.airline == kPrivate && lf_lookupKey(ac, g_genericAirline, ac.type)) return 4;
    const std::string opr = gf_dbaseOperator(ac.registration);
    if (!ac.airline.empty()) {
        if (lf_matchAirlineModel(ac)) return 2;
        if (!opr.empty() && lf_lookupKey(ac, gf_dbaseAirline(ac.registration), ac.type)) return 2;
    }
    if (depth() < 3) return 0;
    if (!ac.airline.empty()) {
        if (lf_matchSimilarModel(ac, ac.airline, ac.type)) return 3;
        if (!opr.empty() && lf_matchSimilarModel(ac, gf_dbaseAirline(ac.registration), ac.type)) return 3;
    }
    int step = 0;
    return lf_matchAnyAirline(ac, step) ? step : 0;
}

}  // namespace

void gf_matchLiveryForSpawn(FlightIdent& ac) {
    const int step = matchLive(ac);
    if (step == 0) ac.liveryTitle = {};
    if (step != 0 && lf_recordMatch(ac, step)) return;
    if (!ac.registration.empty()) g_noMatchLines.insert(lf_fmtIdentKey(ac));
}

bool gf_matchLivery(FlightIdent& ac, bool standCargo, std::string_view standName) {
    if (!ac.liveryTitle.empty()) {
        logStep(ac, "s");
        return true;
    }
    ac.cargo = standCargo ? 1 : 0;
    if (lf_matchRegcode(ac)) return accept(ac, "1");
    if (depth() >= 2) {
        if (ac.airline == kPrivate && lf_lookupKey(ac, g_genericAirline, ac.type)) return accept(ac, "4");
        const std::string opr = gf_dbaseOperator(ac.registration);
        const std::string dbaseAirline = opr.empty() ? std::string() : gf_dbaseAirline(ac.registration);
        if (lf_matchAirlineModel(ac)) return accept(ac, "2");
        if (!opr.empty() && lf_lookupKey(ac, dbaseAirline, ac.type)) return accept(ac, "2");
        if (depth() >= 3) {
            const std::vector<std::string>& similar = gf_findSimilarModel(ac.airline, ac.type);
            for (const std::string& type : similar) {
                if (lf_lookupKey(ac, ac.airline, type)) return accept(ac, "3");
            }
            if (!opr.empty()) {
                for (const std::string& type : similar) {
                    if (lf_lookupKey(ac, dbaseAirline, type)) return accept(ac, "3");
                }
            }
            int step = 0;
            if (lf_matchAnyAirline(ac, step)) return accept(ac, std::to_string(step));
        }
    }
    if (logOn()) gf_log(skh::format("{:8}: {} no livery match ...", standName, gf_acDescriptionLong(ac)));
    return false;
}

void gf_logMatchingSummary() {
    bool any = false;
    for (const std::int32_t count : g_matchesAtStep) any = any || count >= 1;
    if (!any) return;
    std::vector<std::string> lines;
    lines.reserve(256);
    const std::string stars(31, '*');
    lines.push_back("\n" + stars + " live traffic livery matching summary " + stars);
    lines.emplace_back("Matches at step: ");
    for (std::size_t i = 0; i < g_matchesAtStep.size(); ++i) {
        lines.push_back(skh::format("  {}: {}", i + 1, g_matchesAtStep[i]));
    }
    if (!g_refusedLiveryKeys.empty()) {
        lines.push_back(skh::format("\nCould not be created by {}:", "P3D"));
        for (std::string& line : gf_listMapEntries()) lines.push_back(std::move(line));
    }
    lines.push_back(std::string(100, '*').append("\n"));
    for (const std::string& line : lines) gf_logRaw(line);
}

}  // namespace skh
