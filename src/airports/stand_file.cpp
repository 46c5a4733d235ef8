#include "airports/stand_file.hpp"

#include <cmath>
#include <cstring>
#include <sstream>
#include <system_error>

#include "aircraft/dbase.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/hash.hpp"
#include "foundation/log.hpp"
#include "foundation/meta_block.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text_files.hpp"
#include "foundation/upcalls.hpp"
#include "platform/utf16.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

// Longest texts taken from a stand file; longer ones mark a damaged item.
constexpr std::size_t kMaxNameBytes = 128;
constexpr std::size_t kMaxIdentityBytes = 64;
constexpr std::size_t kMaxHoursBytes = 256;  // "0,1,...,47" is 137
constexpr std::size_t kMaxParameterBytes = 1024;
// A stand file larger than this is no stand file (512 stands with 150
// options each take about 10 MB).
constexpr std::uintmax_t kMaxStandFileBytes = 64u * 1024u * 1024u;

constexpr double kZeroDegrees = 0.0000005;

// Ranges of the numbers of a parkpos.
struct NumberRule {
    const char* attribute;
    double min;
    double max;
};
constexpr NumberRule kLatitudeRule{"latitude", -90.0, 90.0};
constexpr NumberRule kLongitudeRule{"longitude", -180.0, 180.0};
constexpr NumberRule kHeadingRule{"heading", -3600.0, 3600.0};  // degrees, normalised after
// The smallest radius that the "{:.1f}" of the file does not write as 0.
constexpr NumberRule kRadiusRule{"radius", 0.1, 1000.0};  // metres

// The value of `rule`'s attribute (strtod, 0.0 when absent); a problem text
// when it is not finite or outside the rule's range.
std::optional<std::string> lf_checkNumber(const pugi::xml_node& node, const NumberRule& rule, double& value) {
    value = node.attribute(rule.attribute).as_double();
    if (std::isfinite(value) && value >= rule.min && value <= rule.max) return std::nullopt;
    return skh::format("{} '{}' is not a number from {} to {}", rule.attribute,
                       gf_shownText(node.attribute(rule.attribute).value()), rule.min, rule.max);
}

// The attribute's text when it is at most `limit` bytes of UTF-8, else a problem text.
std::optional<std::string> lf_checkText(const pugi::xml_attribute& attribute, const char* name, std::size_t limit,
                                        std::string& value) {
    const char* text = attribute.value();
    const std::size_t length = std::strlen(text);
    if (length > limit) return skh::format("{} is {} bytes long", name, length);
    if (!platform::isValidUtf8(std::string_view(text, length))) {
        return skh::format("{} '{}' is not UTF-8", name, gf_shownText(text));
    }
    value.assign(text, length);
    return std::nullopt;
}

// The attributes of an opt element, found in one pass (the first of a name counts).
struct OptAttributes {
    pugi::xml_attribute reg, airl, type, cs, hh, day, soft;
};

OptAttributes lf_optAttributes(const pugi::xml_node& opt) {
    OptAttributes a;
    for (pugi::xml_attribute attr = opt.first_attribute(); attr; attr = attr.next_attribute()) {
        const std::string_view name = attr.name();
        pugi::xml_attribute* slot = name == "reg"    ? &a.reg
                                    : name == "airl" ? &a.airl
                                    : name == "type" ? &a.type
                                    : name == "cs"   ? &a.cs
                                    : name == "hh"   ? &a.hh
                                    : name == "day"  ? &a.day
                                    : name == "soft" ? &a.soft
                                                     : nullptr;
        if (slot != nullptr && !*slot) *slot = attr;
    }
    return a;
}

OptIdentity lf_identityOf(const OptAttributes& a) {
    OptIdentity id;
    const std::string_view cs = a.cs.value();
    const auto colon = cs.find(':');
    if (colon == std::string_view::npos) {
        id.callsign = cs;
    } else {
        id.callsign = cs.substr(0, colon);
        id.secondCallsign = cs.substr(colon + 1);
    }
    const std::string_view reg = a.reg.value();
    if (!reg.empty()) {
        if (const auto record = gf_findDbaseRecord(reg)) {
            id.airline = record->opr.empty() ? record->airl : record->opr;
            id.type = record->type;
            return id;
        }
    }
    id.airline = a.airl.value();
    id.type = a.type.value();
    return id;
}

void lf_logSkipped(std::string_view what, std::string_view standName, const std::string& problem) {
    gf_logWarning(skh::format("{} of stand '{}' skipped: {}", what, gf_shownText(standName), problem));
}

// A heading in degrees as radians from 0 up to (not including) 2 pi.
double lf_normalisedRadians(double degrees) {
    double d = std::fmod(degrees, 360.0);
    if (d < 0.0) d += 360.0;
    const double r = d * DEG2RAD;
    return r >= TWO_PI ? 0.0 : r;
}

// The first parameter element of that name in any top-level "parameters".
pugi::xml_node lf_findParameter(const pugi::xml_document& doc, std::string_view key) {
    for (pugi::xml_node params = doc.child("parameters"); params; params = params.next_sibling("parameters")) {
        for (pugi::xml_node p = params.child("parameter"); p; p = p.next_sibling("parameter")) {
            if (key == p.attribute("name").value()) return p;
        }
    }
    return {};
}

const char* lf_boolText(bool value) { return value ? "true" : "false"; }

bool lf_setAttribute(pugi::xml_node node, const char* name, const std::string& value) {
    return node.append_attribute(name).set_value(value.c_str());
}

bool lf_appendParameter(pugi::xml_node params, const std::string& key, const std::string& value) {
    return gf_appendParameterNode(params, key, value);
}

bool lf_writeFullStand(pugi::xml_node pos, const Stand& s) {
    bool ok = lf_setAttribute(pos, "latitude", skh::format("{:.6f}", s.lat));
    ok = lf_setAttribute(pos, "longitude", skh::format("{:.6f}", s.lon)) && ok;
    ok = lf_setAttribute(pos, "heading", skh::format("{:.1f}", s.heading * RAD2DEG)) && ok;
    ok = lf_setAttribute(pos, "radius", skh::format("{:.1f}", s.radius * kMetresPerNm)) && ok;
    if (s.helipad) {
        ok = lf_setAttribute(pos, "heli", "true") && ok;
    } else {
        ok = lf_setAttribute(pos, "cargo", lf_boolText(s.cargo)) && ok;
    }
    ok = lf_setAttribute(pos, "ramp", lf_boolText(s.ramp)) && ok;
    if (s.manual) ok = lf_setAttribute(pos, "manual", "true") && ok;
    return ok;
}

bool lf_writeChanges(pugi::xml_node pos, const Stand& s) {
    bool ok = true;
    if (s.radiusChanged) {
        ok = lf_setAttribute(pos, "radius_change", "true") && ok;
        ok = lf_setAttribute(pos, "radius", skh::format("{:.1f}", s.radius * kMetresPerNm)) && ok;
    }
    if (s.cargoChanged) {
        ok = lf_setAttribute(pos, "cargo_change", "true") && ok;
        ok = lf_setAttribute(pos, "cargo", lf_boolText(s.cargo)) && ok;
    }
    return ok;
}

bool lf_writeOption(pugi::xml_node pos, const StandOption& o) {
    pugi::xml_node opt = pos.append_child("opt");
    if (!opt) return false;
    bool ok = lf_setAttribute(opt, "reg", o.registration);
    if (!gf_findDbaseRecord(o.registration)) {
        ok = lf_setAttribute(opt, "airl", o.airline) && ok;
        ok = lf_setAttribute(opt, "type", o.type) && ok;
    }
    if (o.real == 0) ok = lf_setAttribute(opt, "soft", "true") && ok;
    ok = lf_setAttribute(opt, "day", std::to_string(o.weekday)) && ok;
    ok = lf_setAttribute(opt, "hh", gf_joinList(o.halfHours)) && ok;
    if (!o.callsign.empty()) {
        ok = lf_setAttribute(opt, "cs", o.secondCallsign.empty() ? o.callsign : o.callsign + ":" + o.secondCallsign) &&
             ok;
    }
    return ok;
}

}  // namespace

std::string gf_shownText(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += c < 0x20 || c >= 0x7F ? '?' : static_cast<char>(c);
    }
    if (text.size() > kShown) out += "...";
    return out;
}

bool lf_writeAirportParameters(pugi::xml_document& doc, const AirportFileData& data, std::uint32_t mode) {
    pugi::xml_node params = doc.append_child("parameters");
    if (!params) return false;
    const bool learned = mode == kLearnedSave;
    // Only a learned save speaks for the current airport's hand-made file.
    const bool handmade = learned && g_apfHandmade;
    const std::string publisher = data.publisher.empty() ? "unknown" : data.publisher;
    lf_appendParameter(params, "airport_name", data.name);
    lf_appendParameter(params, "publisher", publisher);
    if (handmade) lf_appendParameter(params, "handmade", "true");
    if (!learned || handmade) lf_appendParameter(params, "altitude", std::to_string(data.altitude));
    lf_appendParameter(params, "num_parkpos", std::to_string(data.stands.size()));
    if (handmade) {
        lf_appendParameter(params, "Qf_real", std::to_string(data.qfReal));
        lf_appendParameter(params, "Qf_soft", std::to_string(data.qfSoft));
    }
    if (publisher == "unknown") lf_appendParameter(params, "BGLpath", data.bglPath);
    if (!learned) return true;
    // The user's range, not the automatic one that may be in force: the file
    // sets RANGE when it is loaded again.
    lf_appendParameter(params, g_keyLateralRange, std::to_string(gf_userRange()));
    lf_appendParameter(params, g_keyAutoRange, lf_boolText(AUTO_RANGE.value.load()));
    lf_appendParameter(params, g_keyWeek, lf_boolText(WEEK.value.load()));
    lf_appendParameter(params, g_keyParkFake, lf_boolText(PARK_FAKE.value.load()));
    lf_appendParameter(params, g_keyParkSoft, lf_boolText(PARK_SOFT.value.load()));
    lf_appendParameter(params, g_keyParkingPercentage, std::to_string(parking_percentage.value.load()));
    lf_appendParameter(params, g_keyInitialLoadOnly, lf_boolText(INITIAL_LOAD_ONLY.value.load()));
    lf_appendParameter(params, g_keyMaxFit, std::to_string(MAX_FIT.value.load()));
    lf_appendParameter(params, g_keyMaxLive, std::to_string(MAX_LIVE_SEL.value.load()));
    lf_appendParameter(params, g_keyLearnSoft, lf_boolText(LEARN_SOFT.value.load()));
    return true;
}

bool gf_buildAirportDocument(pugi::xml_document& doc, const AirportFileData& data, std::uint32_t mode) {
    if (!gf_writeMeta(doc)) return false;
    if (!lf_writeAirportParameters(doc, data, mode)) return false;
    pugi::xml_node list = doc.append_child("parkpositions");
    if (!list) return false;
    const bool learned = mode == kLearnedSave;
    const bool full = !learned || g_apfHandmade;
    bool ok = true;
    for (const Stand& s : data.stands) {
        pugi::xml_node pos = list.append_child("parkpos");
        if (!pos) return false;
        ok = lf_setAttribute(pos, "id", s.name) && ok;
        if (full || s.manual) {
            ok = lf_writeFullStand(pos, s) && ok;
        } else {
            ok = lf_writeChanges(pos, s) && ok;
        }
        if (!learned) continue;
        for (const StandOption& o : s.options) {
            if (o.seq != 0 && !o.fake) ok = lf_writeOption(pos, o) && ok;
        }
    }
    return ok;
}

bool gf_writeAirportFile(const AirportFileData& data, const fs::path& path, std::uint32_t mode) {
    pugi::xml_document doc;
    if (!gf_buildAirportDocument(doc, data, mode)) return false;
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    return gf_writeFileAtomically(path, out.str());
}

std::optional<std::string> lf_standNameProblem(std::string_view name) {
    if (name.empty()) return "it has no id";
    if (name.size() > kMaxNameBytes) return skh::format("its id is {} bytes long", name.size());
    if (!platform::isValidUtf8(name)) return "its id is not UTF-8";
    return std::nullopt;
}

std::optional<double> lf_readRadiusMetres(const pugi::xml_node& parkpos, std::string& problem) {
    double radius = 0.0;
    if (auto p = lf_checkNumber(parkpos, kRadiusRule, radius)) {
        problem = std::move(*p);
        return std::nullopt;
    }
    return radius;
}

OptIdentity lf_readOptIdentity(const pugi::xml_node& opt) { return lf_identityOf(lf_optAttributes(opt)); }

std::optional<StandOption> lf_readOption(const pugi::xml_node& opt, std::uint32_t seq, std::uint32_t origin,
                                         std::string_view standName) {
    const OptAttributes a = lf_optAttributes(opt);
    StandOption o;
    std::string hours;
    std::string cs;
    std::optional<std::string> problem = lf_checkText(a.reg, "reg", kMaxIdentityBytes, o.registration);
    if (!problem) problem = lf_checkText(a.airl, "airl", kMaxIdentityBytes, o.airline);
    if (!problem) problem = lf_checkText(a.type, "type", kMaxIdentityBytes, o.type);
    if (!problem) problem = lf_checkText(a.cs, "cs", 2 * kMaxIdentityBytes + 1, cs);
    if (!problem) problem = lf_checkText(a.hh, "hh", kMaxHoursBytes, hours);
    const int day = a.day.as_int();
    if (!problem && (day < 0 || day > 7)) {
        problem = skh::format("day '{}' is not 0 to 7", gf_shownText(a.day.value()));
    }
    if (problem) {
        lf_logSkipped("an option", standName, *problem);
        return std::nullopt;
    }
    OptIdentity id = lf_identityOf(a);
    o.airline = std::move(id.airline);
    o.type = std::move(id.type);
    o.callsign = std::move(id.callsign);
    o.secondCallsign = std::move(id.secondCallsign);
    o.halfHours = gf_hours2bitset(hours);
    o.seq = seq;
    o.weekday = static_cast<std::uint32_t>(day);
    o.origin = origin;
    o.real = a.soft.as_bool() ? 0 : 1;
    return o;
}

bool lf_readParkpos(const pugi::xml_node& parkpos, const std::string& name, std::uint32_t origin,
                    std::vector<Stand>& stands) {
    // No position: both absent or 0 (also once written with six decimals).
    if (std::fabs(parkpos.attribute("latitude").as_double()) < kZeroDegrees &&
        std::fabs(parkpos.attribute("longitude").as_double()) < kZeroDegrees) {
        return false;
    }
    double lat = 0.0;
    double lon = 0.0;
    double heading = 0.0;
    double radius = 0.0;
    std::optional<std::string> problem = lf_standNameProblem(name);
    if (!problem) problem = lf_checkNumber(parkpos, kLatitudeRule, lat);
    if (!problem) problem = lf_checkNumber(parkpos, kLongitudeRule, lon);
    if (!problem) problem = lf_checkNumber(parkpos, kRadiusRule, radius);
    if (!problem) problem = lf_checkNumber(parkpos, kHeadingRule, heading);
    if (problem) {
        lf_logSkipped("parkpos", name, *problem);
        return false;
    }
    std::vector<StandOption> options;
    options.reserve(256);
    std::uint32_t seq = 1;
    for (pugi::xml_node opt = parkpos.child("opt"); opt; opt = opt.next_sibling("opt")) {
        if (auto o = lf_readOption(opt, seq, origin, name)) {
            options.push_back(std::move(*o));
            ++seq;
        }
    }
    options.shrink_to_fit();
    stands.push_back(gf_makeStand(name, std::move(options), lat, lon, lf_normalisedRadians(heading), radius,
                                  parkpos.attribute("cargo").as_bool(), parkpos.attribute("ramp").as_bool(),
                                  parkpos.attribute("heli").as_bool()));
    return true;
}

int gf_countStandLists(const pugi::xml_document& doc) {
    int n = 0;
    for (pugi::xml_node list = doc.child("parkpositions"); list; list = list.next_sibling("parkpositions")) ++n;
    return n;
}

void gf_readStandList(const pugi::xml_document& doc, std::uint32_t origin, std::vector<Stand>& stands,
                      StandLists which) {
    TextSet seen;
    seen.reserve(512);
    gf_forEachParkpos(doc, which, [&](const pugi::xml_node& pos, int) {
        std::string name = pos.attribute("id").value();
        if (!seen.insert(name).second) {
            throw UserErrorException(94,
                                     skh::format("Parking position {} appears more than once?", gf_shownText(name)));
        }
        lf_readParkpos(pos, name, origin, stands);
    });
}

std::optional<bool> lf_readAirportBoolParam(const pugi::xml_document& doc, std::string_view key) {
    const pugi::xml_node p = lf_findParameter(doc, key);
    if (!p) return std::nullopt;
    return p.attribute("value").as_bool();
}

std::optional<std::int32_t> lf_readAirportIntParam(const pugi::xml_document& doc, std::string_view key) {
    const pugi::xml_node p = lf_findParameter(doc, key);
    if (!p) return std::nullopt;
    return p.attribute("value").as_int();
}

std::optional<std::string> lf_readAirportStringParam(const pugi::xml_document& doc, std::string_view key) {
    const pugi::xml_node p = lf_findParameter(doc, key);
    if (!p) return std::nullopt;
    std::string value;
    if (const auto problem = lf_checkText(p.attribute("value"), "value", kMaxParameterBytes, value)) {
        gf_logWarning(skh::format("parameter {} ignored: {}", key, *problem));
        return std::nullopt;
    }
    return value;
}

bool gf_isStandDocument(const pugi::xml_document& doc) {
    bool content = false;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_element) continue;
        const std::string_view name = n.name();
        if (name == "parameters" || name == "parkpositions") {
            content = true;
        } else if (name != "meta") {
            return false;
        }
    }
    return content;
}

bool gf_isStandFile(const fs::path& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxStandFileBytes) return false;
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) return false;
    return gf_isStandDocument(doc);
}

}  // namespace skh
