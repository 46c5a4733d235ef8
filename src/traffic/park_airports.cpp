#include "traffic/park_airports.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <mutex>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "airports/park_airport_load.hpp"
#include "airports/stand.hpp"
#include "airports/stand_file.hpp"
#include "airports/stand_locations.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"
#include "traffic/stand_lookup.hpp"

namespace skh {

namespace fs = std::filesystem;

std::list<ParkAirportEntry> g_parkAirports;
std::string g_reservedStand;

namespace {

fs::path g_file = g_parkAirportsFile;
// Serialises the read-modify-write of the file.
std::mutex g_fileMutex;
StaticParkingHooks g_hooks;
bool g_chosen = false;
GeoPos g_lastPosition{0.0, 0.0};

constexpr double kUnknownPositionDeg = 0.0001;
constexpr double kSamePositionDeg = 1e-8;
constexpr double kClosestAirportNm = 100.0;

std::string lf_fileName() { return g_file.filename().string(); }

// A UTF-8 byte-order mark in front of the first line.
void lf_dropByteOrderMark(std::vector<std::string>& lines) {
    if (!lines.empty() && lines.front().rfind("\xEF\xBB\xBF", 0) == 0) lines.front().erase(0, 3);
}

bool lf_readFileLines(std::vector<std::string>& lines) {
    std::ifstream in(g_file, std::ios::binary);
    if (!in) return false;
    gf_readStreamLines(in, lines);
    lf_dropByteOrderMark(lines);
    // A file edited on Windows ends its lines in CR LF.
    for (std::string& l : lines) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
    }
    return !in.bad();
}

// A text that one field of a line can hold.
bool lf_fitsField(std::string_view text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return c == ',' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

const Airport* lf_findAirport(std::string_view code) {
    const auto it = std::lower_bound(g_airports.begin(), g_airports.end(), code,
                                     [](const Airport& a, std::string_view c) { return a.icao < c; });
    if (it != g_airports.end() && it->icao == code) return &*it;
    // The list is sorted by code once read; a list built otherwise is searched.
    const auto found =
        std::find_if(g_airports.begin(), g_airports.end(), [&](const Airport& a) { return a.icao == code; });
    return found == g_airports.end() ? nullptr : &*found;
}

std::string lf_displayName(const Airport& a) { return a.iata.empty() ? a.icao : a.icao + " (" + a.iata + ")"; }

// Replaces `line` by `newLine` when its first field is the entry's code.
bool lf_updateMyParkAirportStand(const ParkAirportEntry& entry, const std::string& newLine, std::string& line) {
    const auto fields = gf_split(line, ',');
    if (fields.empty() || fields[0] != entry.code) return false;
    line = newLine;
    return true;
}

Stand* lf_standNamed(const std::string& name) {
    const auto it = std::find_if(g_stands.begin(), g_stands.end(), [&](const Stand& s) { return s.name == name; });
    return it == g_stands.end() ? nullptr : &*it;
}

void lf_enableDestination() {
    if (const platform::WindowHandle h = DESTINATION.hwnd.load(); h != 0) platform::enableWindow(h, true);
}

bool lf_busy() { return g_hooks.busy && g_hooks.busy(); }

void lf_startStaticParking(bool showStatus) {
    if (g_hooks.setBusy) g_hooks.setBusy(true);
    if (g_hooks.startCalculation) g_hooks.startCalculation();
    if (showStatus) gf_setStatusMessage("Calculating static parked aircraft ...", false);
}

double lf_heightAboveGround() { return gf_userAcCopy().altitudeAboveGround; }

bool lf_withinSight(double nm, double heightFt) {
    return nm <= static_cast<double>(AIRP_RANGE.value.load()) &&
           heightFt <= static_cast<double>(AIRP_HEIGHT.value.load());
}

}  // namespace

void gf_setParkAirportsFile(const fs::path& path) { g_file = path; }
const fs::path& gf_parkAirportsFilePath() { return g_file; }
void gf_setStaticParkingHooks(StaticParkingHooks hooks) { g_hooks = std::move(hooks); }
bool gf_parkAirportChosen() { return g_chosen; }

bool lf_readMyParkAirports() {
    g_parkAirports.clear();
    bool ok = true;
    try {
        std::vector<std::string> lines;
        bool opened = false;
        {
            const std::lock_guard lock(g_fileMutex);
            opened = lf_readFileLines(lines);
        }
        if (!opened) gf_log(fs::absolute(g_file).string() + " not found");
        std::unordered_set<std::string> taken;
        for (const std::string& line : lines) {
            const auto fields = gf_split(line, ',');
            if (fields.empty()) continue;
            if (fields.size() > 2) {
                gf_logWarning(skh::format("{}:{} wrong syntax, skipped", lf_fileName(), gf_shownText(line)));
                continue;
            }
            if (!taken.insert(fields[0]).second) {
                gf_logWarning(skh::format("{}:{} double, skipped", lf_fileName(), gf_shownText(fields[0])));
                continue;
            }
            const Airport* airport = lf_findAirport(fields[0]);
            if (airport == nullptr) {
                gf_setStatusMessage(skh::format("airport {} is unknown", gf_shownText(fields[0])), true);
                ok = false;
                continue;
            }
            g_parkAirports.push_back(ParkAirportEntry{fields[0], fields.size() > 1 ? fields[1] : std::string(),
                                                      airport->lat, airport->lon, 0.0});
        }
        const std::size_t n = g_parkAirports.size();
        if (n > 0) {
            gf_log(skh::format("{} park airport{} read from '{}'", n, n == 1 ? "" : "s", lf_fileName()));
            if (n > kManyParkAirports) {
                gf_setStatusMessage(skh::format("Warning: There are a lot of airports ({}), that will cost SKHV much "
                                                "cpu time and may cause stutters",
                                                n),
                                    true);
            }
        }
        lf_addThirdpartyParkAirports();
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{}: {}", "lf_readMyParkAirports", e.what()));
        return false;
    }
    return ok;
}

void lf_addThirdpartyParkAirports() {
    const std::size_t before = g_parkAirports.size();
    std::unordered_set<std::string> taken;
    for (const auto& e : g_parkAirports) taken.insert(e.code);
    std::vector<std::string> codes;
    for (const auto& entry : fs::directory_iterator(g_myThirdpartyFolder)) {
        if (entry.is_regular_file()) codes.push_back(entry.path().stem().string());
    }
    // Folder order differs between file systems; the list's does not.
    std::sort(codes.begin(), codes.end());
    for (const std::string& code : codes) {
        const Airport* airport = lf_findAirport(code);
        if (airport == nullptr || !taken.insert(code).second) continue;
        g_parkAirports.push_back(ParkAirportEntry{code, {}, airport->lat, airport->lon, 0.0});
    }
    const std::size_t added = g_parkAirports.size() - before;
    if (added > 0) {
        gf_log(skh::format("{} park airport{} added from my_thirdparty folder(-s)", added, added == 1 ? "" : "s"));
    }
}

void gf_updateMyParkAirports() {
    if (g_parkAirports.empty()) return;
    const ParkAirportEntry& first = g_parkAirports.front();
    if (first.code.empty() || !lf_fitsField(first.code) || !lf_fitsField(first.reservedStand)) {
        gf_logWarning(skh::format("{}: '{}' with stand '{}' cannot be written as one line, not saved", lf_fileName(),
                                  gf_shownText(first.code), gf_shownText(first.reservedStand)));
        return;
    }
    const std::string line = first.reservedStand.empty() ? first.code : first.code + "," + first.reservedStand;
    const std::lock_guard lock(g_fileMutex);
    std::vector<std::string> lines;
    std::error_code ec;
    const bool exists = fs::exists(g_file, ec) || ec;
    if (!exists) {
        lines.push_back(line);
        gf_log(skh::format("{} created with {}", lf_fileName(), line));
    } else if (!lf_readFileLines(lines)) {
        gf_logWarning(skh::format("{} cannot be read, {} not saved", g_file.string(), line));
        return;
    } else {
        const auto it = std::find_if(lines.begin(), lines.end(),
                                     [&](std::string& l) { return lf_updateMyParkAirportStand(first, line, l); });
        if (it != lines.end()) {
            gf_log(skh::format("{}:{} updated stand", lf_fileName(), line));
        } else {
            lines.push_back(line);
            gf_log(skh::format("{}:{} new entry", lf_fileName(), line));
        }
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    if (!gf_writeFileAtomically(g_file, text)) gf_logWarning(skh::format("Failed to write file {}", g_file.string()));
}

void gf_addParkAirport(const std::string& code, GeoPos position) {
    const auto it = std::find_if(g_parkAirports.begin(), g_parkAirports.end(),
                                 [&](const ParkAirportEntry& e) { return e.code == code; });
    if (it != g_parkAirports.end()) {
        g_parkAirports.splice(g_parkAirports.begin(), g_parkAirports, it);
        return;
    }
    g_parkAirports.push_front(ParkAirportEntry{code, {}, position.lat, position.lon, 0.0});
    gf_updateMyParkAirports();
}

bool gf_checkParkAirports(bool checkStand, std::string& text) {
    if (!lf_readMyParkAirports()) return false;
    if (checkStand && userOnGroundKnown.load() && !lf_busy() && !g_parkAirports.empty()) {
        const ParkAirportEntry& first = g_parkAirports.front();
        const UserAcState user = gf_userAcCopy();
        if (first.code == gf_parkAirport().icao && gf_nearestStandName(user.latitude, user.longitude).empty() &&
            !first.reservedStand.empty() && first.reservedStand != g_reservedStand) {
            text = skh::format("reserved stand changed from '{}' to '{}'", g_reservedStand, first.reservedStand);
            if (!g_reservedStand.empty()) {
                if (Stand* old = lf_standNamed(g_reservedStand)) old->reserved = false;
            }
            g_reservedStand = first.reservedStand;
            if (g_hooks.clearReservedStand) g_hooks.clearReservedStand();
            if (Stand* now = lf_standNamed(g_reservedStand)) now->reserved = true;
            platform::invalidateMainWindow();
        }
    }
    if (text.empty()) text = "park airports and stands are okay";
    return true;
}

void gf_takeReservedStandAtLoad() {
    const Airport current = gf_parkAirport();
    if (userOnGroundKnown.load()) {
        const UserAcState user = gf_userAcCopy();
        const std::string name = gf_nearestStandName(user.latitude, user.longitude);
        if (!g_parkAirports.empty() && g_parkAirports.front().code == current.icao) {
            if (!name.empty() && name != g_parkAirports.front().reservedStand) {
                g_parkAirports.front().reservedStand = name;
                gf_updateMyParkAirports();
            }
        } else {
            g_parkAirports.push_front(ParkAirportEntry{current.icao, name, current.lat, current.lon, 0.0});
            gf_updateMyParkAirports();
        }
    }
    g_reservedStand.clear();
    if (!g_parkAirports.empty() && g_parkAirports.front().code == current.icao) {
        const std::string& reserved = g_parkAirports.front().reservedStand;
        if (!reserved.empty() && lf_standNamed(reserved) != nullptr) g_reservedStand = reserved;
    }
    gf_setBoard(g_parkBoard.reservedStand, g_reservedStand);
}

bool lf_setParkAirport(const std::string& code) {
    const Airport* airport = lf_findAirport(code);
    if (airport == nullptr) return false;
    gf_setParkAirport(*airport);
    gf_log("\nThe park airport is " + lf_displayName(*airport));
    return true;
}

void lf_airportInSight(GeoPos position, bool showStatus) {
    if (userOnGround.load()) {
        const Airport* airport = g_hooks.closestAirport ? g_hooks.closestAirport(position) : nullptr;
        if (airport == nullptr || gf_distanceNm(position, GeoPos{airport->lat, airport->lon}) > kClosestAirportNm) {
            gf_setStatusMessage("User aircraft on the ground, no airport in sight", true);
            return;
        }
        const std::string code = airport->icao;
        if (!gf_findParkAirportFile(code)) {
            gf_setStatusMessage(skh::format("User aircraft on the ground at {}, no airport file found", code), true);
            return;
        }
        gf_log(skh::format("User aircraft on the ground at {}", code));
        if (!lf_setParkAirport(code)) return;
        g_chosen = true;
        lf_startStaticParking(showStatus);
        return;
    }
    lf_enableDestination();
    if (g_parkAirports.empty()) return;
    const ParkAirportEntry& first = g_parkAirports.front();
    const double d = gf_distanceNm(position, GeoPos{first.lat, first.lon});
    if (lf_withinSight(d, lf_heightAboveGround()) && lf_setParkAirport(first.code)) {
        gf_setStatusMessage(skh::format("{} in sight at {:.1F} nm", first.code, d), true);
        g_chosen = true;
        lf_startStaticParking(false);
    }
}

void lf_parkAirportStillInSight(GeoPos position) {
    if (userOnGround.load()) return;
    const Airport current = gf_parkAirport();
    const double height = lf_heightAboveGround();
    const double dCurrent = gf_distanceNm(position, GeoPos{current.lat, current.lon});
    if (lf_withinSight(dCurrent, height)) {
        if (g_parkAirports.empty() || g_parkAirports.front().code == current.icao) return;
        const ParkAirportEntry& first = g_parkAirports.front();
        const double d = gf_distanceNm(position, GeoPos{first.lat, first.lon});
        if (!lf_withinSight(d, height) || dCurrent < d) return;
        gf_log(skh::format("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first",
                           gf_utcTimeOfDay(), first.code, d, lf_displayName(current)));
    } else {
        gf_log(skh::format("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed", gf_utcTimeOfDay(),
                           lf_displayName(current), dCurrent));
    }
    if (g_hooks.removeGroundTraffic) g_hooks.removeGroundTraffic();
}

void gf_handleStaticParking(bool showStatus) {
    if (lf_busy() && g_hooks.planPlaced && g_hooks.planPlaced()) {
        if (g_hooks.setBusy) g_hooks.setBusy(false);
        gf_clearStatusMessage();
        if (g_hooks.refreshAverageFits) g_hooks.refreshAverageFits();
    }
    if (g_chosen) {
        gf_clearStatusMessage();
        g_chosen = false;
        const std::string error = g_hooks.readParkedFile ? g_hooks.readParkedFile() : std::string();
        if (!error.empty()) {
            gf_setStatusMessage(error, true);
            if (g_hooks.leaveParkAirport) g_hooks.leaveParkAirport();
        } else if (g_hooks.showParkingParams) {
            g_hooks.showParkingParams();
        }
        lf_enableDestination();
        return;
    }
    const UserAcState user = gf_userAcCopy();
    const GeoPos position{user.latitude, user.longitude};
    if (std::fabs(position.lat) <= kUnknownPositionDeg && std::fabs(position.lon) <= kUnknownPositionDeg) return;
    if (!g_parkAirports.empty()) {
        const auto distanceTo = [&](const ParkAirportEntry& e) {
            return gf_distanceNm(position, GeoPos{e.lat, e.lon});
        };
        if (std::fabs(position.lat - g_lastPosition.lat) < kSamePositionDeg &&
            std::fabs(position.lon - g_lastPosition.lon) < kSamePositionDeg) {
            g_parkAirports.front().distance = distanceTo(g_parkAirports.front());
        } else {
            g_lastPosition = position;
            // A destination set by the user stays first.
            if (DESTINATION.value.empty()) {
                for (auto& e : g_parkAirports) e.distance = distanceTo(e);
                g_parkAirports.sort(
                    [](const ParkAirportEntry& a, const ParkAirportEntry& b) { return a.distance < b.distance; });
            }
        }
    }
    if (!gf_parkAirport().icao.empty()) {
        lf_parkAirportStillInSight(position);
    } else {
        lf_airportInSight(position, showStatus);
    }
}

}  // namespace skh
