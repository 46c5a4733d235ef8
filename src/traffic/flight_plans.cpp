#include "traffic/flight_plans.hpp"

#include <system_error>

#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "platform/codepage.hpp"
#include "traffic/sim_port.hpp"

namespace skh {

namespace {

namespace fs = std::filesystem;

// The simulator's file paths are shorter than this.
constexpr std::size_t kMaxPlanPathBytes = 260;

const char* lf_planType(AircraftCategory category) {
    return (category == CatBuzjets || category == CatLarge || category == CatHeavy) ? "IFR" : "VFR";
}

}  // namespace

bool lf_isPlanAirport(const std::string& ident) {
    if (ident.empty() || ident.size() > 8) return false;
    for (const char c : ident) {
        if (!gf_isAsciiAlnum(c)) return false;
    }
    return true;
}

bool gf_makeFlightPlanFolder() {
    g_flightPlanFolder = g_settingsFolder / "orig_dest";
    for (const fs::path& folder : {g_settingsFolder, g_flightPlanFolder}) {
        std::error_code ec;
        const bool exists = fs::exists(folder, ec);
        if (ec && ec != std::errc::no_such_file_or_directory) throw fs::filesystem_error("exists", folder, ec);
        if (!exists) fs::create_directories(folder, ec);
    }
    std::error_code ec;
    return fs::is_directory(g_flightPlanFolder, ec);
}

std::string gf_flightPlanFileName(std::uint32_t objectId) { return skh::format("{}.pln", objectId); }

bool gf_writeFlightPlan(const fs::path& path, const FlightIdent& ac) {
    const std::string text = skh::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
        "<FlightPlan.FlightPlan>\n"
        "<FPType>{}</FPType>\n"
        "<DepartureID>{}</DepartureID>\n"
        "<DestinationID>{}</DestinationID>\n"
        "</FlightPlan.FlightPlan>\n"
        "</SimBase.Document>\n",
        lf_planType(ac.category), ac.origin, ac.destination);
    return gf_writeFileAtomically(path, text);
}

void lf_createAiFlightPlan(LiveAc& ac) {
    if (ac.origin.empty() || ac.destination.empty()) return;
    // The idents go into XML and come from the network: anything but a
    // plain ident is not sent.
    if (!lf_isPlanAirport(ac.origin) || !lf_isPlanAirport(ac.destination)) {
        gf_logWarning(
            skh::format("{} no flight plan for route '{}'->'{}'", gf_acDescriptionLong(ac), ac.origin, ac.destination));
        return;
    }
    const fs::path path = g_flightPlanFolder / gf_flightPlanFileName(ac.objectId);
    if (platform::utf8ToCp1252(path.string()).size() >= kMaxPlanPathBytes) {
        gf_logWarning(skh::format("{} no flight plan, path too long: {}", gf_acDescriptionLong(ac), path.string()));
        return;
    }
    ac.flightPlanSent = 0;
    if (gf_writeFlightPlan(path, ac) && gf_simPort().setFlightPlan(ac.objectId, path.string())) {
        ac.flightPlanSent = 1;
        return;
    }
    gf_logWarning(skh::format("{} creating a flight plan failed", gf_acDescriptionLong(ac)));
}

void lf_removeFlightPlanFile(const LiveAc& ac) {
    if (ac.flightPlanSent == 0 || g_flightPlanFolder.empty()) return;
    std::error_code ec;
    fs::remove(g_flightPlanFolder / gf_flightPlanFileName(ac.objectId), ec);
}

bool gf_removeFlightPlanFolder() {
    if (g_flightPlanFolder.empty()) return true;
    std::error_code ec;
    fs::remove_all(g_flightPlanFolder, ec);
    if (ec) {
        // Written directly: the closing step removes the folder while the
        // ordinary log writer is silent.
        gf_logRaw(skh::format("gf_removeFlightPlanFolder: {}", ec.message()));
        return false;
    }
    return true;
}

}  // namespace skh
