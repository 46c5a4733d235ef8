#pragma once
// The aircraft database: type codes and their size classes, wingspans, type
// fixes, airline codes, similar types, publishers, add-on airports and one
// record per known registration. Read once per process, read-only after.
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "foundation/aircraft_types.hpp"
#include "foundation/hash.hpp"

namespace skh {

using TypeSet = std::set<std::string, std::less<>>;

struct DbaseRecord {
    std::string airl;
    std::string type;
    std::string opr;
    bool cargo = false;
};

struct ThirdPartyPackage {
    std::string pub;
    std::vector<std::string> airports;
};

extern TypeSet g_knownTypes;
extern TypeSet g_highPerfTypes;
extern TypeSet g_heavyTypes;
extern TypeSet g_largeTypes;
extern TypeSet g_buzjetTypes;
extern TypeSet g_rotorcraftTypes;
extern TypeSet g_cargoTypes;
extern std::vector<std::vector<std::string>> g_similarGroups;
extern TypeSet g_icaoAirlines;
extern TypeSet g_cargoOperators;
extern std::vector<std::vector<std::string>> g_publishers;
extern std::map<std::string, double, std::less<>> g_wingspans;  // half span, nm
extern std::array<double, 6> g_categoryWingspans;
extern double g_maxWingspan;
extern TextMap<std::string> g_typeFixes;
extern TypeSet g_simaddonAirports;
extern std::vector<ThirdPartyPackage> g_thirdPartyPackages;
extern TextMap<DbaseRecord> g_dbaseRecords;

// Decrypts input/dbase.enc, reads every section and removes the plain text
// again (on every way out). Throws std::runtime_error or UserErrorException.
bool gf_readDbase();
// Reads the sections of a plain dbase.xml document.
void lf_readDbaseDocument(const pugi::xml_document& doc);

bool gf_isKnownType(std::string_view type);
bool gf_isIcaoAirline(std::string_view code);
std::optional<DbaseRecord> gf_findDbaseRecord(std::string_view registration);
std::string gf_dbaseOperator(std::string_view registration);
std::string gf_dbaseAirline(std::string_view registration);
std::vector<std::string> lf_registrationVariants(std::string_view registration);
std::optional<std::string> gf_findRegistrationIn(std::string_view text);

void lf_readXmlListSection(const pugi::xml_document& doc, const char* section, TypeSet& set,
                           const char* element, const char* attribute);
void lf_readTypeSection(const pugi::xml_document& doc, const char* section, TypeSet& set,
                        const char* element);
void lf_readCodeSection(const pugi::xml_document& doc, const char* section, TypeSet& set);
void lf_readThirdParties(const pugi::xml_document& doc);

struct PrefixedIntContext {
    std::string publisher;
    std::string airportCode;
    std::int32_t& value;
};
bool lf_parsePrefixedInt(PrefixedIntContext& context, std::string_view item);

// Empties every container (tests; a new process starts empty).
void gf_clearDbase();

}  // namespace skh
