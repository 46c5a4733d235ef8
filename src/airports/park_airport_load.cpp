#include "airports/park_airport_load.hpp"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "airports/airport.hpp"
#include "airports/fake_parked.hpp"
#include "airports/learned_stands.hpp"
#include "airports/stand_file.hpp"
#include "airports/stand_locations.hpp"
#include "feed/park_fix.hpp"
#include "foundation/constants.hpp"
#include "foundation/datasets.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/meta_block.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"

namespace skh {

namespace fs = std::filesystem;

ParkAirportBoard g_parkBoard;
std::atomic<std::uint32_t> g_rtTrafficWeek{0};
std::atomic<bool> g_parkAirportLoaded{false};
std::atomic<bool> g_apfParamsChanged{false};
const fs::path g_parkAirportXml = g_airportsFolder / "park_airport.xml";

namespace {

constexpr std::int32_t kPercentWithoutLearned = 30;
constexpr double kAdjacencyFactor = 1.1;
constexpr double kNmPerDegreeLat = 60.0;  // one nm is a minute of arc
constexpr double kNoStandNm = 100.0;
// Airports lie between the Dead Sea shore and the highest Andean fields.
constexpr std::int32_t kLowestAltitudeFt = -1500;
constexpr std::int32_t kHighestAltitudeFt = 16000;
constexpr std::int32_t kOfflineWeeks = 31;

const char* const kFn = "gf_readApf";

bool lf_isLocalReference(const std::string& reference) { return reference.rfind("airports", 0) == 0; }

void lf_logSetting(std::string_view key, const std::string& value) {
    gf_logIndented(skh::format("{:24}: {}", key, value));
}

std::int32_t lf_qualityFactor(const pugi::xml_document& doc, std::string_view key) {
    const std::int32_t v = lf_readAirportIntParam(doc, key).value_or(-1);
    return std::clamp(v, -1, 100);
}

// Without a learned file the airport gets 30 % and the choice is not the user's.
void lf_noLearnedFile() {
    parking_percentage.value = kPercentWithoutLearned;
    if (const platform::WindowHandle h = parking_percentage.hwnd.load(); h != 0) {
        const auto it =
            std::find(parking_percentage.choices.begin(), parking_percentage.choices.end(), kPercentWithoutLearned);
        if (it != parking_percentage.choices.end()) {
            platform::comboSetCurSel(h, static_cast<int>(it - parking_percentage.choices.begin()));
        }
        platform::enableWindow(h, false);
    }
    gf_logIndented(skh::format("{:24}: {}%", parking_percentage.name, kPercentWithoutLearned));
}

void lf_enableFlushStatic() {
    if (const platform::WindowHandle h = g_flushStaticButton.hwnd.load(); h != 0) platform::enableWindow(h, true);
}

// A user error of the file gives up this airport only: red on the error
// line, and its text for the caller.
std::string lf_userErrorOfFile(const UserErrorException& e) {
    gf_setErrorMessage(e.what());
    return skh::format("{}: {}", kFn, e.what());
}

std::string lf_readApf(const std::string& reference, ApfInfo& info, std::uint64_t& qualityFactors) {
    if (reference.empty()) return skh::format("{}: xml is empty", kFn);
    Airport park = gf_parkAirport();
    if (park.icao.empty()) return skh::format("{}: no park airport set", kFn);
    if (!gf_isSafeReference(reference)) {
        return skh::format("{}: could not load file: {}", gf_shownText(reference), "an unsafe reference");
    }
    fs::path path;
    if (lf_isLocalReference(reference)) {
        path = gf_localPath(reference);
    } else {
        if (std::string error = lf_downloadFile(reference, g_parkAirportXml); !error.empty()) return error;
        path = g_parkAirportXml;
    }
    g_apfHandmade = false;
    g_apfAirport.clear();
    gf_resetLearnedMerge();

    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) return skh::format("{}: could not load file: {}", reference, path.string());
    if (!gf_readMetaInfo(doc, author) || !gf_readMetaInfo(doc, date) || !gf_readMetaInfo(doc, version)) {
        return skh::format("{}: refused to load (copyright)", reference);
    }
    g_rtTrafficWeek =
        static_cast<std::uint32_t>(std::max(0, lf_readAirportIntParam(doc, "RT_traffic_week").value_or(0)));
    info.publisher = lf_readAirportStringParam(doc, "publisher").value_or("");
    const auto altitude = lf_readAirportIntParam(doc, "altitude");
    if (!altitude) throw UserErrorException(65, "Parameter altitude not found");
    if (*altitude < kLowestAltitudeFt || *altitude > kHighestAltitudeFt) {
        return skh::format("{}: altitude {} ft is no airport's", reference, *altitude);
    }
    info.altitude = *altitude;
    park.elevation = static_cast<double>(*altitude);
    gf_setParkAirport(park);
    info.name = lf_readAirportStringParam(doc, "airport_name").value_or("");

    gf_readStandList(doc, 1, g_stands, StandLists::First);
    qualityFactors = gf_qfPair(lf_qualityFactor(doc, "Qf_real"), lf_qualityFactor(doc, "Qf_soft"));

    const std::string learned = lf_learnedFilePath(reference, info.publisher);
    if (!learned.empty() && lf_readLearned(gf_localPath(learned), info.name, g_stands)) {
        qualityFactors = gf_qualityFactors(g_stands);
        if (g_apfHandmade) gf_logRaw("A handmade airport file overruled the archived file!");
        if (PARK_FAKE.value.load()) {
            lf_addFakeParked(fs::path(gf_localPath(reference)).stem().string(), g_stands, gf_weekdayAndSlot());
        }
    } else {
        lf_noLearnedFile();
    }

    const auto count = static_cast<std::uint32_t>(g_stands.size());
    gf_setBoard(g_parkBoard.standCount, count);
    lf_numberStands(g_stands);
    gf_standsChanged();

    gf_logRaw(skh::format("Airport file read from '{}' for {}", g_apfHandmade ? learned : reference, info.name));
    gf_setBoard(g_parkBoard.publisher, info.publisher);
    gf_setBoard(g_parkBoard.handmade, g_apfHandmade);
    const std::string quality = lf_fmtQualityFactors(qualityFactors);
    lf_logSetting("publisher", info.publisher);
    gf_logIndented(skh::format("{:24}: {} ft", "altitude", info.altitude));
    lf_logSetting("num_parkpos", std::to_string(count));
    lf_logSetting("quality factor", quality);
    lf_logSetting("RT traffic week", std::to_string(g_rtTrafficWeek.load()));
    gf_setBoard(g_parkBoard.quality, quality);

    g_parkAirportLoaded = true;
    g_apfAirport = park.icao;
    // The Traffic Reader judges ground traffic against this airport from now on.
    gf_setParkElevation(static_cast<double>(info.altitude));
    lf_enableFlushStatic();
    g_apfParamsChanged = false;
    platform::invalidateMainWindow();
    return count == 0 ? "no stands found" : "";
}

}  // namespace

std::string gf_readApf(const std::string& reference, ApfInfo& info, std::uint64_t& qualityFactors) {
    try {
        return lf_readApf(reference, info, qualityFactors);
    } catch (const UserErrorException& e) {
        return lf_userErrorOfFile(e);
    } catch (const std::exception& e) {
        return skh::format("{}: {}", kFn, e.what());
    }
}

void lf_numberStands(std::vector<Stand>& stands) {
    std::uint32_t id = 0;
    for (Stand& s : stands) {
        s.id = ++id;
        s.adjacent.clear();
    }
    // Two stands are never nearer than their difference in latitude, so most
    // pairs are settled without the great-circle distance (the margin keeps
    // rounding from deciding a pair the distance would not).
    for (Stand& a : stands) {
        for (const Stand& b : stands) {
            if (b.id == a.id) continue;
            const double sum = a.radius + b.radius;
            if (std::fabs(a.lat - b.lat) * kNmPerDegreeLat * kAdjacencyFactor > sum * (1.0 + 1e-9)) continue;
            const double d = gf_distanceNm(GeoPos{a.lat, a.lon}, GeoPos{b.lat, b.lon});
            if (d * kAdjacencyFactor < a.radius + b.radius) a.adjacent.push_back(b.id);
        }
        a.adjacent.shrink_to_fit();
    }
}

double gf_readDestApfForClosestStand(const std::string& code, GeoPos position, std::string& standName) {
    try {
        const std::string reference = gf_getStockAirportFile(code);
        if (reference.empty()) return kNoStandNm;
        const bool local = lf_isLocalReference(reference);
        const fs::path copy = "airport.xml";
        if (!local && !lf_downloadFile(reference, copy).empty()) return kNoStandNm;
        const fs::path path = local ? gf_localPath(reference) : copy;
        pugi::xml_document doc;
        const bool loaded = static_cast<bool>(doc.load_file(path.c_str()));
        double best = kNoStandNm;
        if (loaded) {
            const pugi::xml_node list = doc.child("parkpositions");
            for (pugi::xml_node pos = list.child("parkpos"); pos; pos = pos.next_sibling("parkpos")) {
                const double lat = pos.attribute("latitude").as_double();
                const double lon = pos.attribute("longitude").as_double();
                if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0 || std::fabs(lon) > 180.0) {
                    continue;
                }
                const double d = gf_distanceNm(position, GeoPos{lat, lon});
                if (d < best) {
                    best = d;
                    standName = pos.attribute("id").value();
                }
            }
        }
        if (!local) {
            std::error_code ec;
            fs::remove(copy, ec);
        }
        return best;
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{}: {}", "gf_readDestApfForClosestStand", e.what()));
        return kNoStandNm;
    }
}

bool gf_prepareOfflineLearning(const std::string& code) {
    if (!gf_isSafeAirportCode(code)) {
        gf_logWarning(skh::format("{} not suitable for offline learning", gf_shownText(code)));
        return false;
    }
    const std::string reference = "archive/stock/" + lf_xmlFileName(code);
    gf_logRaw(gf_downloadBaseUrl() + reference);
    const fs::path copy = lf_xmlFileName(code);
    if (!lf_downloadFile(reference, copy).empty()) {
        gf_logWarning(skh::format("Failed to download {}", copy.string()));
        return false;
    }
    bool suitable = false;
    pugi::xml_document doc;
    if (!doc.load_file(copy.c_str())) {
        gf_logWarning(skh::format("Failed to load {}", copy.string()));
    } else {
        const bool rated = lf_qualityFactor(doc, "Qf_real") >= 0 || lf_qualityFactor(doc, "Qf_soft") >= 0;
        const auto weeks = lf_readAirportIntParam(doc, "RT_traffic_week");
        suitable = rated && weeks && *weeks >= kOfflineWeeks;
    }
    fs::remove(copy);
    if (!suitable) gf_logWarning(skh::format("{} not suitable for offline learning", code));
    return suitable;
}

}  // namespace skh
