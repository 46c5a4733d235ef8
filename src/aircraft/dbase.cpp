#include "aircraft/dbase.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <list>
#include <stdexcept>

#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"

namespace skh {

TypeSet g_knownTypes;
TypeSet g_highPerfTypes;
TypeSet g_heavyTypes;
TypeSet g_largeTypes;
TypeSet g_buzjetTypes;
TypeSet g_rotorcraftTypes;
TypeSet g_cargoTypes;
std::vector<std::vector<std::string>> g_similarGroups;
TypeSet g_icaoAirlines;
TypeSet g_cargoOperators;
std::vector<std::vector<std::string>> g_publishers;
std::map<std::string, double, std::less<>> g_wingspans;
std::array<double, 6> g_categoryWingspans{};
double g_maxWingspan = 0.0;
TextMap<std::string> g_typeFixes;
TypeSet g_simaddonAirports;
std::vector<ThirdPartyPackage> g_thirdPartyPackages;
TextMap<DbaseRecord> g_dbaseRecords;

namespace {

// Registrations short enough for gf_findRegistrationIn, for a lookup per
// substring instead of a walk over every record.
TextSet s_shortRegistrations;
constexpr std::size_t kShortRegistration = 6;

pugi::xml_node section(const pugi::xml_document& doc, const char* name) { return doc.child(name); }

bool xmlBool(const pugi::xml_node& node, const char* name) { return node.attribute(name).as_bool(false); }

void readSimilarTypes(const pugi::xml_document& doc) {
    g_similarGroups.clear();
    g_similarGroups.reserve(64);
    for (const pugi::xml_node e : section(doc, "similar_types").children("similar")) {
        std::vector<std::string> group = gf_split(e.attribute("types").value(), ',');
        std::sort(group.begin(), group.end());
        g_similarGroups.push_back(std::move(group));
    }
    g_similarGroups.shrink_to_fit();
}

void readPublishers(const pugi::xml_document& doc) {
    g_publishers.clear();
    g_publishers.reserve(640);
    std::list<std::string> texts;
    for (const pugi::xml_node e : section(doc, "publishers").children("pub")) texts.emplace_back(e.attribute("names").value());
    texts.sort();
    texts.unique();
    for (const std::string& text : texts) {
        std::vector<std::string> names = gf_splitCommaTrim(text);
        names.shrink_to_fit();
        g_publishers.push_back(std::move(names));
    }
    g_publishers.shrink_to_fit();
    gf_logRaw(skh::format("{} publishers read", g_publishers.size()));
}

void readWingspans(const pugi::xml_document& doc) {
    bool anyValid = false;
    for (const pugi::xml_node e : section(doc, "wingspans").children("wingspan")) {
        const std::string type = e.attribute("type").value();
        const double metres = std::strtod(e.attribute("meters").value(), nullptr);
        // A span that is not a positive finite number would poison the class
        // averages and every distance test made with it.
        if (type.empty() || g_knownTypes.count(type) == 0 || !std::isfinite(metres) || metres <= 0.0) {
            gf_logWarning(skh::format("wingspan model {} is not valid, skipped", type));
            continue;
        }
        anyValid = true;
        const double halfSpanNm = metres * 0.5 / 1852.0;
        g_wingspans.try_emplace(type, halfSpanNm);
        g_maxWingspan = std::max(g_maxWingspan, halfSpanNm);
    }
    if (!anyValid) return;
    std::array<int, 6> counts{};
    double total = 0.0;
    g_categoryWingspans.fill(0.0);
    for (const auto& [type, value] : g_wingspans) {
        const AircraftCategory c = gf_sizeCategory(type);
        ++counts[static_cast<std::size_t>(c)];
        g_categoryWingspans[static_cast<std::size_t>(c)] += value;
        total += value;
    }
    // A class without any entry takes the mean of all entries, not 0/0.
    const double overallMean = total / static_cast<double>(g_wingspans.size());
    for (std::size_t c = 0; c < g_categoryWingspans.size(); ++c) {
        g_categoryWingspans[c] = counts[c] > 0 ? g_categoryWingspans[c] / counts[c] : overallMean;
    }
}

void readFixes(const pugi::xml_document& doc) {
    for (const pugi::xml_node e : section(doc, "fixes").children("fx")) {
        const std::string wrong = e.attribute("wro").value();
        const std::string correct = e.attribute("cor").value();
        if (!correct.empty() && g_knownTypes.count(correct) != 0) {
            if (!g_typeFixes.try_emplace(wrong, correct).second) {
                gf_logWarning(skh::format("wrong part of fix: '{}', already exists, skipped", wrong));
            }
        } else {
            gf_logWarning(skh::format("wrong fix {} -> {}, the latter is not valid", wrong, correct));
        }
    }
}

void readRecords(const pugi::xml_document& doc) {
    g_dbaseRecords.clear();
    s_shortRegistrations.clear();
    const pugi::xml_node records = section(doc, "dbase");
    std::size_t count = 0;
    for (const pugi::xml_node e : records.children("db")) {
        (void)e;
        ++count;
    }
    g_dbaseRecords.reserve(count);
    for (const pugi::xml_node e : records.children("db")) {
        std::string key = e.attribute("reg").value();
        DbaseRecord record{e.attribute("airl").value(), e.attribute("type").value(), e.attribute("opr").value(),
                           xmlBool(e, "cargo")};
        const auto [it, inserted] = g_dbaseRecords.try_emplace(std::move(key), std::move(record));
        if (!inserted) {
            gf_logWarning(skh::format("regcode {} already exists", it->first));
        } else if (!it->first.empty() && it->first.size() < kShortRegistration) {
            s_shortRegistrations.insert(it->first);
        }
    }
    gf_logRaw(skh::format("{} dbase records read", g_dbaseRecords.size()));
}

}  // namespace

double gf_maxWingspanNm() { return g_maxWingspan; }

const char* gf_categoryName(AircraftCategory c) {
    static constexpr const char* kNames[] = {"Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft"};
    return (c >= 0 && c < 6) ? kNames[c] : "???";
}

void lf_readXmlListSection(const pugi::xml_document& doc, const char* sectionName, TypeSet& set,
                           const char* element, const char* attribute) {
    for (const pugi::xml_node e : section(doc, sectionName).children(element)) {
        for (std::string& piece : gf_split(e.attribute(attribute).value(), ',')) set.insert(std::move(piece));
    }
    if (set.empty()) {
        throw UserErrorException(61, skh::format("In XML file section [{}], element [{}], attribute [{}] is empty.",
                                                 sectionName, element, attribute));
    }
}

void lf_readTypeSection(const pugi::xml_document& doc, const char* sectionName, TypeSet& set,
                        const char* element) {
    TypeSet fresh;
    lf_readXmlListSection(doc, sectionName, fresh, element, "types");
    set = std::move(fresh);
}

void lf_readCodeSection(const pugi::xml_document& doc, const char* sectionName, TypeSet& set) {
    TypeSet fresh;
    lf_readXmlListSection(doc, sectionName, fresh, "ICAO", "codes");
    set = std::move(fresh);
}

void lf_readThirdParties(const pugi::xml_document& doc) {
    if (g_thirdPartyPackages.capacity() < 200) g_thirdPartyPackages.reserve(200);
    for (const pugi::xml_node e : section(doc, "thirdpartiesP3D").children("thirdpartieP3D")) {
        g_thirdPartyPackages.push_back({e.attribute("pub").value(), gf_split(e.attribute("arpts").value(), ',')});
    }
}

void lf_readDbaseDocument(const pugi::xml_document& doc) {
    lf_readTypeSection(doc, "aircrafts", g_knownTypes, "aircraft");
    lf_readTypeSection(doc, "high_performance", g_highPerfTypes, "hpf");
    lf_readTypeSection(doc, "heavy", g_heavyTypes, "hvy");
    lf_readTypeSection(doc, "large", g_largeTypes, "lar");
    lf_readTypeSection(doc, "buzjet", g_buzjetTypes, "bzj");
    lf_readTypeSection(doc, "rotorcraft", g_rotorcraftTypes, "rot");
    lf_readTypeSection(doc, "cargo_types", g_cargoTypes, "cargo_type");
    readSimilarTypes(doc);
    lf_readCodeSection(doc, "ICAO_airlines", g_icaoAirlines);
    lf_readCodeSection(doc, "cargo_operators", g_cargoOperators);
    readPublishers(doc);
    readWingspans(doc);
    readFixes(doc);
    lf_readXmlListSection(doc, "simaddonsP3D", g_simaddonAirports, "simaddonP3D", "arpts");
    lf_readThirdParties(doc);
    readRecords(doc);
}

bool gf_readDbase() {
    std::error_code ec;
    if (!std::filesystem::exists(g_dbaseEnc, ec)) {
        throw std::runtime_error(skh::format("{} not available", g_dbaseEnc.string()));
    }
    // The plain text is removed however the reading ends.
    const DecryptedDataSet plain(g_dbaseEnc, g_dbaseXml);
    if (!plain.ok()) throw std::runtime_error(skh::format("{} stream decrypt failed", g_dbaseEnc.string()));
    pugi::xml_document doc;
    const pugi::xml_parse_result result = doc.load_file(plain.path().c_str());
    if (result.status != pugi::status_ok) {
        throw UserErrorException(60, skh::format("'{}' not read because of {}", g_dbaseXml.string(),
                                                 result.description()));
    }
    lf_readDbaseDocument(doc);
    return true;
}

AircraftCategory gf_sizeCategory(std::string_view type) {
    const auto in = [type](const TypeSet& s) { return s.find(type) != s.end(); };
    if (in(g_largeTypes)) return CatLarge;
    if (in(g_heavyTypes)) return CatHeavy;
    if (in(g_buzjetTypes)) return CatBuzjets;
    if (in(g_rotorcraftTypes)) return CatRotorcraft;
    if (in(g_highPerfTypes)) return CatHighPerf;
    return CatLight;
}

bool gf_isKnownType(std::string_view type) { return !type.empty() && g_knownTypes.count(type) != 0; }

bool gf_isIcaoAirline(std::string_view code) { return !code.empty() && g_icaoAirlines.count(code) != 0; }

double gf_wingspanOf(std::string_view type) {
    const auto it = g_wingspans.find(type);
    if (it != g_wingspans.end()) return it->second;
    return g_categoryWingspans[static_cast<std::size_t>(gf_sizeCategory(type))];
}

std::vector<std::string> lf_registrationVariants(std::string_view registration) {
    std::vector<std::string> variants;
    variants.reserve(3);
    if (registration.size() >= 5 && registration.front() != 'N' && registration.find('-') == std::string_view::npos) {
        variants.push_back(std::string(registration.substr(0, 2)) + "-" + std::string(registration.substr(2)));
        variants.push_back(std::string(registration.substr(0, 1)) + "-" + std::string(registration.substr(1)));
    }
    variants.emplace_back(registration);
    return variants;
}

std::optional<DbaseRecord> gf_findDbaseRecord(std::string_view registration) {
    if (registration.empty()) return std::nullopt;
    for (const std::string& variant : lf_registrationVariants(registration)) {
        const auto it = g_dbaseRecords.find(std::string_view(variant));
        if (it != g_dbaseRecords.end()) return it->second;
    }
    return std::nullopt;
}

std::string gf_dbaseOperator(std::string_view registration) {
    const auto record = gf_findDbaseRecord(registration);
    return record ? record->opr : std::string();
}

std::string gf_dbaseAirline(std::string_view registration) {
    const auto record = gf_findDbaseRecord(registration);
    return record ? record->airl : std::string();
}

std::optional<std::string> gf_findRegistrationIn(std::string_view text) {
    // Every substring of up to five characters is looked up; the leftmost,
    // then longest, match wins. A record with an empty registration would
    // match every text and is never returned.
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const std::size_t longest = std::min(kShortRegistration - 1, text.size() - pos);
        for (std::size_t len = longest; len >= 1; --len) {
            const auto it = s_shortRegistrations.find(text.substr(pos, len));
            if (it != s_shortRegistrations.end()) return *it;
        }
    }
    return std::nullopt;
}

bool lf_parsePrefixedInt(PrefixedIntContext& context, std::string_view item) {
    if (item.substr(0, context.airportCode.size()) != context.airportCode) return false;
    const std::string_view rest = item.size() > 4 ? item.substr(4) : std::string_view();
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value, 10);
    if (ec != std::errc()) {
        gf_logWarning(skh::format("{} {} {} {}", context.publisher, context.airportCode, item, "invalid number"));
    } else {
        context.value = value;
    }
    return true;
}

void gf_clearDbase() {
    for (auto* s : {&g_knownTypes, &g_highPerfTypes, &g_heavyTypes, &g_largeTypes, &g_buzjetTypes, &g_rotorcraftTypes,
                    &g_cargoTypes, &g_icaoAirlines, &g_cargoOperators, &g_simaddonAirports}) {
        s->clear();
    }
    g_similarGroups.clear();
    g_publishers.clear();
    g_wingspans.clear();
    g_categoryWingspans.fill(0.0);
    g_maxWingspan = 0.0;
    g_typeFixes.clear();
    g_thirdPartyPackages.clear();
    g_dbaseRecords.clear();
    s_shortRegistrations.clear();
}

}  // namespace skh
