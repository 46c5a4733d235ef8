#include "feed/traffic_reader.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "feed/feed_text.hpp"
#include "feed/number_text.hpp"
#include "feed/park_fix.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"

namespace skh {

namespace {

// Field numbers of the traffic line.
enum Field : std::size_t {
    kHexId = 1,
    kLat = 2,
    kLon = 3,
    kAltitude = 4,
    kVs = 5,
    kTrack = 7,
    kGs = 8,
    kCallsign = 9,
    kType = 10,
    kRegistration = 11,
    kOrigin = 12,
    kDestination = 13,
    kTimestamp = 14,
    kSource = 17,
    kTas = 20,
    kRoll = 23,
    kTrueHeading = 25,
    kCategory = 28,
};

constexpr double kInf = std::numeric_limits<double>::infinity();

// The values a field may take. Beyond them a number is not a measurement but
// garbage that would poison the movement code; latitude and longitude have
// their own check with its own message.
struct NumberRule {
    const char* name;
    double min;
    double max;
};
constexpr NumberRule kTimestampRule{"timestamp", 0.0, 1e11};
constexpr NumberRule kLatRule{"lat", -kInf, kInf};
constexpr NumberRule kLonRule{"lon", -kInf, kInf};
constexpr NumberRule kAltitudeRule{"altitude", -1e5, 1e6};
constexpr NumberRule kGsRule{"gs", -1e4, 1e4};
constexpr NumberRule kVsRule{"vs", -1e6, 1e6};
constexpr NumberRule kTrackRule{"track", -1e4, 1e4};
constexpr NumberRule kRollRule{"roll", -1e3, 1e3};
constexpr NumberRule kTasRule{"TAS", -1e4, 1e4};
constexpr NumberRule kTrueHeadingRule{"trueheading", -kInf, kInf};

constexpr double kNearZero = 0.0001;
constexpr double kGroundRadiusNm = 5.0;
constexpr std::size_t kMaxRegistration = 12;

// A number from the start of the field (trailing text ignored); nothing when
// there is none, or when it is not finite or outside the rule's range.
bool lf_parseNumber(std::string_view field, const NumberRule& rule, double& out) {
    double v = 0.0;
    if (!gf_readDouble(field, v) || !std::isfinite(v) || v < rule.min || v > rule.max) return false;
    out = v;
    return true;
}

double lf_readNumber(std::string_view field, const NumberRule& rule) {
    double v = 0.0;
    if (!lf_parseNumber(field, rule, v)) throw std::runtime_error(skh::format("{}:{}", rule.name, field));
    return v;
}

std::string lf_textOrEmpty(std::string_view field) {
    if (field == "null") return {};
    return std::string(field);
}

bool lf_isOneOf(std::string_view text, std::initializer_list<std::string_view> list) {
    for (const auto item : list) {
        if (text == item) return true;
    }
    return false;
}

// RealTraffic may put a provider prefix before the source ("F_adsb_icao").
bool lf_isAdsbIcao(std::string_view source) {
    constexpr std::string_view kSource = "adsb_icao";
    if (source == kSource) return true;
    return source.size() > kSource.size() && source.ends_with(kSource) &&
           source[source.size() - kSource.size() - 1] == '_';
}

double lf_tasByAltitude(double altitude) {
    if (altitude <= 2000.0) return 180.0;
    if (altitude <= 5000.0) return 220.0;
    if (altitude <= 10000.0) return 250.0;
    if (altitude <= 20000.0) return 350.0;
    return 430.0;
}

}  // namespace

TrafficReader::TrafficReader() : UdpReader("Traffic Reader") { m_fields.reserve(64); }

void TrafficReader::setUserPos(double lat, double lon) {
    m_userLat.store(lat, std::memory_order_relaxed);
    m_userLon.store(lon, std::memory_order_relaxed);
}

void TrafficReader::onBound() {
    gf_setBoard(g_mainWindowState.trafficLamp, LampActive);
    gf_setBoard(g_mainWindowState.weatherLamp, LampActive);
}

void TrafficReader::onStopped() {
    gf_setBoard(g_mainWindowState.trafficLamp, LampStopped);
    gf_logRaw("Traffic Reader has stopped");
}

void TrafficReader::onDatagram() {
    std::string_view text = m_datagram;
    // Ground vehicles are never wanted.
    if (text.find(" VEH") != std::string_view::npos) return;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);

    // Fields after the last one read are left uncut: the last piece then
    // holds them all.
    m_fields.resize(kFieldCount + 1);
    std::string_view* field = m_fields.data();
    std::size_t count = 0;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (count < kFieldCount) {
        const auto* comma = static_cast<const char*>(std::memchr(p, ',', static_cast<std::size_t>(end - p)));
        if (comma == nullptr) break;
        field[count++] = std::string_view(p, static_cast<std::size_t>(comma - p));
        p = comma + 1;
    }
    field[count++] = std::string_view(p, static_cast<std::size_t>(end - p));
    m_fields.resize(count);
    processLineSub();
}

void TrafficReader::processLineSub() {
    try {
        TrafficSample sample;
        if (parseLine(sample)) gf_pushTrafficSample(std::move(sample));
    } catch (const std::exception& e) {
        if (countBadDatagram()) gf_log(skh::format("exception in processLineSub: {}", gf_printableExcerpt(e.what())));
    }
}

bool TrafficReader::parseLine(TrafficSample& s) {
    const auto& f = m_fields;
    if (f.size() < kFieldCount) {
        throw std::runtime_error(skh::format("line has {} field{}, {} needed: {}", f.size(),
                                             gf_pluralUnsigned(f.size()), kFieldCount, m_datagram));
    }

    s.timestamp = lf_readNumber(f[kTimestamp], kTimestampRule);
    g_trafficTime.store(s.timestamp, std::memory_order_relaxed);

    PosSample& p = s.pos;
    p.lat = lf_readNumber(f[kLat], kLatRule);
    p.lon = lf_readNumber(f[kLon], kLonRule);
    if (p.lat < -90.0 || p.lat > 90.0 || p.lon < -180.0 || p.lon > 180.0 ||
        (std::fabs(p.lat) <= kNearZero && std::fabs(p.lon) <= kNearZero)) {
        throw std::runtime_error(skh::format("invalid lalo: {:.6f},{:.6f}", p.lat, p.lon));
    }

    const GeoPos user{m_userLat.load(std::memory_order_relaxed), m_userLon.load(std::memory_order_relaxed)};
    if (gf_distanceNm(user, GeoPos{p.lat, p.lon}) > g_rangeNm.load(std::memory_order_relaxed)) return false;

    IdentStrings& id = s.ident;
    if (f[kRegistration].size() > kMaxRegistration) return false;
    id.registration = lf_textOrEmpty(f[kRegistration]);

    const std::string_view callsign = f[kCallsign];
    if (collectCallsigns.load(std::memory_order_relaxed) && !callsign.empty() && callsign != "null" &&
        callsign.find('@') == std::string_view::npos) {
        heardCallsigns.add(callsign);
    }

    const std::string_view type = f[kType];
    if (!lf_isOneOf(type, {"null", "0", "ZZZZ"})) id.type = std::string(type);
    if (!lf_acceptCategory(s, f[kCategory])) return false;

    if (lf_isAdsbIcao(f[kSource])) {
        const double heading = lf_readNumber(f[kTrueHeading], kTrueHeadingRule);
        if (heading > 360.0) throw std::runtime_error(skh::format("trueheading: {:.2f}", heading));
        if (heading == 0.0) {
            p.trueHeading = TWO_PI;
        } else if (heading > 0.0) {
            p.trueHeading = heading * DEG2RAD;
        }
        if (p.trueHeading) p.trueHeadingTaken = 1;
    }

    const std::string_view hexId = f[kHexId];
    std::uint32_t act = 0;
    const auto [end, ec] = std::from_chars(hexId.data(), hexId.data() + hexId.size(), act);
    (void)end;
    if (ec != std::errc{}) throw std::runtime_error(skh::format("hexid incorrect{}", hexId));
    if (act <= 10000) return false;
    s.actNumber = act;

    p.groundSpeed = lf_readNumber(f[kGs], kGsRule);
    if (!lf_checkAltitude(s)) return false;
    p.airborne = p.altitude > 0.0 ? 1 : 0;

    if (callsign != "null" && callsign.find('@') == std::string_view::npos) id.callsign = std::string(callsign);
    if (id.callsign == "ERARMTR0" || id.callsign == "AIRPORT1") return false;
    if (id.callsign.empty() && id.registration.empty()) return false;

    if (!p.airborne) {
        const ParkAirportFix park = gf_parkAirportFix();
        if (!park.set || gf_distanceNm(park.pos, GeoPos{p.lat, p.lon}) > kGroundRadiusNm) return false;
    }

    const std::string_view track = f[kTrack];
    if (!track.empty() && !lf_parseNumber(track, kTrackRule, p.track)) {
        throw std::runtime_error(skh::format("track incorrect {}", track));
    }
    if (p.track == 0.0 && p.trueHeading) p.track = *p.trueHeading * RAD2DEG;

    p.verticalSpeed = lf_readNumber(f[kVs], kVsRule);
    id.origin = lf_textOrEmpty(f[kOrigin]);
    id.destination = lf_textOrEmpty(f[kDestination]);

    if (p.airborne) {
        const double roll = lf_readNumber(f[kRoll], kRollRule);
        if (roll != -1.0 && roll != 0.0) p.bank = -roll * DEG2RAD;
    }

    if (!lf_parseNumber(f[kTas], kTasRule, p.trueAirspeed)) {
        throw std::runtime_error(skh::format("TAS incorrect{}", f[kTas]));
    }
    if (p.trueAirspeed == -1.0) p.trueAirspeed = lf_tasByAltitude(p.altitude);
    return true;
}

bool TrafficReader::lf_checkAltitude(TrafficSample& s) {
    PosSample& p = s.pos;
    const std::string_view field = m_fields[kAltitude];
    if (!lf_parseNumber(field, kAltitudeRule, p.altitude)) {
        throw std::runtime_error(skh::format("altitude {} incorrect, from: {}", field, m_datagram));
    }
    const double gs = p.groundSpeed;
    if (p.altitude <= 0.0) {
        p.altitude = 0.0;
    } else if (p.altitude < 14000.0) {
        const double ref = gf_parkElevation().value_or(-1000.0);
        const double d = p.altitude - ref;
        const double ad = std::fabs(d);
        if (d <= 0.0 || (ad <= 42.0 && gs <= 120.0) || (ad <= 84.0 && gs <= 80.0) || (ad <= 108.0 && gs <= 43.0)) {
            p.altitude = 0.0;
        }
    }
    if (p.altitude > 0.0 && gs <= 35.0) p.altitude = 0.0;

    if (!AIRBORNE_ONLY.value.load(std::memory_order_relaxed)) return true;
    const ParkAirportFix park = gf_parkAirportFix();
    const double e = park.set ? park.elevation : 0.0;
    return std::fabs(p.altitude - e) > 300.0;
}

bool TrafficReader::lf_acceptCategory(const TrafficSample& s, std::string_view category) const {
    if (s.ident.type.empty()) return false;
    if (category.empty() || category == "null") return true;
    if (lf_isOneOf(category, {"B1", "B2", "B4", "C1", "C2"})) return false;
    return !lf_isOneOf(s.ident.type, {"BALL", "EMER", "GLID", "GRND", "GND", "PARA", "SERV", "SHIP", "VENT"});
}

}  // namespace skh
