#include "foundation/settings_file.hpp"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "foundation/upcalls.hpp"
#include "foundation/version.hpp"

namespace skh {

namespace fs = std::filesystem;

std::recursive_mutex g_settingsMutex;

namespace {

const char* boolText(bool v) { return v ? "true" : "false"; }

bool readBool(const pugi::xml_node& node) {
    const pugi::xml_attribute attr = node.attribute("value");
    if (!attr) return false;
    const char c = attr.value()[0];
    return c == '1' || c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

std::int32_t clampInt(const IntParameter& p, std::int32_t v) { return std::clamp(v, p.minimum, p.maximum); }

// The first <parameter name="key"> under the document element <parameters>.
pugi::xml_node findParameterNode(const pugi::xml_document& doc, const std::string& key) {
    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != "parameters") return {};
    for (pugi::xml_node n = root.child("parameter"); n; n = n.next_sibling("parameter")) {
        if (key == n.attribute("name").value()) return n;
    }
    return {};
}

fs::path settingsPath() { return fs::path(g_parametersXmlPath); }

fs::path backupPath() { return settingsPath().parent_path() / "parameters0.xml"; }

enum class LoadResult {
    Loaded,
    Missing,
    Invalid,   // not a settings file; kept as parameters0.xml
    Unusable,  // not a settings file and it could not be kept, or a folder: left alone
};

struct Loaded {
    LoadResult result = LoadResult::Loaded;
    std::string account;  // what is wrong with the file, told once by the loader
    std::string reason;   // why it cannot be saved, told by every save
};

// Loads parameters.xml. A file that exists but cannot be used is first kept
// as parameters0.xml, so that the user's folders, paths and versions are not
// lost when it is replaced; one that cannot be kept is not replaced at all.
Loaded loadSettings(pugi::xml_document& doc) {
    std::error_code ec;
    const fs::path path = settingsPath();
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return {LoadResult::Missing, {}};
    if (fs::is_directory(status))
        return {LoadResult::Unusable, skh::format("{} is a folder, not a settings file", path.string()),
                "it is a folder"};
    const pugi::xml_parse_result result = doc.load_file(path.c_str());
    std::string problem;
    if (!result) {
        problem = result.description();
    } else if (std::string_view(doc.document_element().name()) != "parameters") {
        problem = "the document element is not 'parameters'";
    } else {
        return {LoadResult::Loaded, {}};
    }
    doc.reset();
    if (std::string copyProblem; !gf_copyFileAtomically(path, backupPath(), copyProblem)) {
        return {LoadResult::Unusable,
                skh::format("{} is not a valid settings file ({}) and could not be kept as {} ({})", path.string(),
                            problem, backupPath().string(), copyProblem),
                skh::format("it is not a valid settings file and could not be kept as {}", backupPath().string())};
    }
    return {LoadResult::Invalid,
            skh::format("{} is not a valid settings file ({}); it is kept as {}", path.string(), problem,
                        backupPath().string()),
            {}};
}

bool saveSettings(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out);
    std::string problem;
    if (gf_writeFileAtomically(settingsPath(), out.str(), problem)) return true;
    gf_log(skh::format("Saving '{}' failed: {}", g_parametersXmlPath, problem));
    return false;
}

// A document of every stored parameter with its value in memory, in the
// order of the loader lists; folder keys only while they are set.
void lf_documentFromMemory(pugi::xml_document& doc) {
    doc.reset();
    pugi::xml_node root = doc.append_child("parameters");
    auto append = [&](const Parameter& p, const std::string& value) {
        if (gf_isFolderKey(p.name) && value.empty()) return;
        if (!gf_appendParameterNode(root, p.name, value))
            gf_logWarning(skh::format("Adding Init XML parameter '{}' with value '{}' failed!", p.name, value));
    };
    const ParameterLists& lists = gf_parameterLists();
    for (const BoolParameter* p : lists.plainBools) append(*p, boolText(p->value.load()));
    for (const BoolUiParameter* p : lists.windowBools) append(*p, boolText(p->value.load()));
    for (const IntParameter* p : lists.plainInts) append(*p, std::to_string(p->value.load()));
    for (const IntParameter* p : lists.windowInts) {
        // RANGE may hold the automatic range now; the file keeps the user's.
        append(*p, std::to_string(p == &RANGE ? gf_userRange() : p->value.load()));
    }
    for (const StringParameter* p : lists.strings) append(*p, p->value.get());
    for (const StringUiParameter* p : lists.windowStrings) append(*p, p->value.get());
}

// Sets the value of one stored parameter and saves the file; the value in
// memory stays changed whatever happens to the file.
void saveValue(const std::string& key, const std::string& value) {
    const std::lock_guard lock(g_settingsMutex);
    pugi::xml_document doc;
    const Loaded loaded = loadSettings(doc);
    if (loaded.result == LoadResult::Unusable) {
        gf_log(skh::format("Saving '{}' failed: {}", g_parametersXmlPath, loaded.reason));
        return;
    }
    if (loaded.result == LoadResult::Invalid) gf_logWarning(loaded.account);
    if (loaded.result != LoadResult::Loaded) {
        // Written whole from memory, not as a file of this one parameter.
        lf_documentFromMemory(doc);
        saveSettings(doc);
        return;
    }
    pugi::xml_node node = findParameterNode(doc, key);
    if (node) {
        pugi::xml_attribute attr = node.attribute("value");
        if (!attr) attr = node.append_attribute("value");
        attr.set_value(value.c_str());
    } else {
        gf_appendParameterNode(doc.document_element(), key, value);
    }
    saveSettings(doc);
}

}  // namespace

bool gf_isFolderKey(const std::string& key) {
    return key.find("lfolder") != std::string::npos || key.find("afolder") != std::string::npos;
}

const ParameterLists& gf_parameterLists() {
    static const ParameterLists lists = [] {
        ParameterLists l;
        l.plainBools = {&RANDOM};
        l.windowBools = {&AEROWINX,
                         &AFG_AUTOMATIC,
                         &COLLISION_USER_AIR,
                         &COLLISION_USER_GND,
                         &COLLISION_LIVE_PARKED_GND,
                         &SUPPRESS_STUB,
                         &LOG,
                         &ALWAYS_ON_TOP,
                         &SCAN_LIVERIES,
                         &LIG_AUTOMATIC,
                         &LIG_PRIORITIZE,
                         &AIRBORNE_ONLY,
                         &SCAN_AIRPORTS,
                         &LIGHT_AIRCRAFT,
                         &HELICOPTERS,
                         &HIGH_PERF_AIRCRAFT,
                         &NAV_LIGHTS_WHILE_PARKED,
                         &AUTO_RANGE,
                         &LEARN_SOFT,
                         &STRAIGHT_PBS_ONLY,
                         &PARK_SOFT,
                         &PARK_FAKE,
                         &WEEK,
                         &INITIAL_LOAD_ONLY,
                         &GUID_CHANGES};
        l.plainInts = {&CUSTOM_PARKING_PERCENTAGE,
                       &MAIN_WINDOW_X,
                       &MAIN_WINDOW_Y,
                       &LATERAL_RANGE,
                       &AIRPORT_RANGE,
                       &AUTO_RANGE_ABOVE_HEIGHT,
                       &AIRPORT_HEIGHT,
                       &LAST_EPOCH_TIME,
                       &HOLDING_THRESHOLD_METERS,
                       &MAX_HOLDING_MINUTES,
                       &CUSTOM_MAX_PARK,
                       &MAX_LIVE,
                       &P3D_VERSION};
        l.windowInts = {&MATCHING_DEPTH, &RANGE,        &MAX_FIT,    &AR_ABOVE_HEIGHT,
                        &MAX_PARK_SEL,   &MAX_LIVE_SEL, &AIRP_RANGE, &AIRP_HEIGHT};
        // MAX_FIT has a binding but no control of its own: its combo box is MAX_FIT_FL's.
        l.windowIntControls = {&MATCHING_DEPTH, &RANGE,        nullptr,     &AR_ABOVE_HEIGHT,
                               &MAX_PARK_SEL,   &MAX_LIVE_SEL, &AIRP_RANGE, &AIRP_HEIGHT};
        l.strings = {&PROGRAM_VERSION, &SIM_INSTALL_PATH, &PORT_NUMBER};
        for (StringParameter* p : g_liveryFolderParams) l.strings.push_back(p);
        for (StringParameter* p : g_airportFolderParams) l.strings.push_back(p);
        for (StringParameter* p : {&PROGRAM_INSTALL_PATH, &AIG_VERSION, &DBASE_VERSION, &AIRPORTS_VERSION}) {
            l.strings.push_back(p);
        }
        l.strings.push_back(&DESTINATION);
        l.windowStrings = {&BLOCK_CALLSIGN};
        return l;
    }();
    return lists;
}

void gf_logParameter(const StringParameter& p) { gf_log(skh::format("{}=\"{}\"", p.name, p.value.get())); }

void gf_logParameter(const BoolParameter& p) { gf_log(skh::format("{}={}", p.name, boolText(p.value.load()))); }

void gf_logParameter(const IntParameter& p) { gf_log(skh::format("{}={}", p.name, p.value.load())); }

bool gf_appendParameterNode(pugi::xml_node node, const std::string& key, const std::string& value) {
    if (!node || (node.type() != pugi::node_document && node.type() != pugi::node_element)) return false;
    pugi::xml_node child = node.append_child("parameter");
    if (!child) return false;
    return child.append_attribute("name").set_value(key.c_str()) &&
           child.append_attribute("value").set_value(value.c_str());
}

bool gf_setBoolAttribute(pugi::xml_node node, const char* name, bool value) {
    pugi::xml_attribute attr = node.attribute(name);
    if (!attr) return false;
    return attr.set_value(boolText(value));
}

bool gf_findIntParameter(IntParameter& p, const pugi::xml_document& doc, bool log) {
    const pugi::xml_node node = findParameterNode(doc, p.name);
    if (node) {
        p.value = clampInt(p, node.attribute("value").as_int(0));
    } else {
        p.value = p.defaultValue;
    }
    if (log) gf_logParameter(p);
    return static_cast<bool>(node);
}

void gf_readParameters(const ParameterLists& lists) {
    const std::lock_guard lock(g_settingsMutex);
    gf_logRaw(gf_markedText(70, 0, true, false, "parameters"));
    pugi::xml_document doc;
    const Loaded loaded = loadSettings(doc);
    if (loaded.result != LoadResult::Loaded) {
        switch (loaded.result) {
            case LoadResult::Missing:
                gf_logRaw(g_parametersXmlPath + " not found, default values taken:");
                break;
            case LoadResult::Invalid:
                gf_logWarning(loaded.account + ", default values taken:");
                break;
            default:
                gf_logWarning(loaded.account + "; it is left as it is and default values are used");
                break;
        }
        for (BoolParameter* p : lists.plainBools) {
            p->value = p->defaultValue;
            gf_logParameter(*p);
        }
        for (BoolUiParameter* p : lists.windowBools) {
            p->value = p->defaultValue;
            gf_logParameter(*p);
            gf_showBoolParameter(*p);
        }
        for (IntParameter* p : lists.plainInts) {
            p->value = p->defaultValue;
            gf_logParameter(*p);
        }
        for (std::size_t i = 0; i < lists.windowInts.size(); ++i) {
            IntParameter* p = lists.windowInts[i];
            p->value = p->defaultValue;
            gf_logParameter(*p);
            if (const UiControl* c = lists.windowIntControls[i]) gf_showIntParameter(*p, *c);
        }
        for (StringParameter* p : lists.strings) {
            if (gf_isFolderKey(p->name)) continue;  // stored only while set
            p->value.set(p->defaultValue);
            gf_logParameter(*p);
        }
        for (StringUiParameter* p : lists.windowStrings) {
            p->value.set(p->defaultValue);
            gf_logParameter(*p);
            gf_showStringParameter(*p);
        }
        if (loaded.result != LoadResult::Unusable) {
            lf_documentFromMemory(doc);
            saveSettings(doc);
        }
    } else {
        gf_logRaw(skh::format("from '{}'", g_parametersXmlPath));
        pugi::xml_node root = doc.document_element();
        auto readBoolParam = [&](BoolParameter& p) {
            const pugi::xml_node node = findParameterNode(doc, p.name);
            if (node) {
                p.value = readBool(node);
            } else {
                p.value = p.defaultValue;
                gf_appendParameterNode(root, p.name, boolText(p.defaultValue));
            }
            gf_logParameter(p);
        };
        auto readIntParam = [&](IntParameter& p) {
            if (!gf_findIntParameter(p, doc, true))
                gf_appendParameterNode(root, p.name, std::to_string(p.defaultValue));
        };
        auto readStringParam = [&](StringParameter& p) {
            const pugi::xml_node node = findParameterNode(doc, p.name);
            if (gf_isFolderKey(p.name)) {
                p.value.set(node ? node.attribute("value").value() : "");
                if (!p.value.empty()) {
                    gf_logParameter(p);
                } else if (node) {
                    root.remove_child(node);
                    gf_log(skh::format("Parameter '{}' removed", p.name));
                }
                return;
            }
            if (node) {
                p.value.set(node.attribute("value").value());
            } else {
                p.value.set(p.defaultValue);
                gf_appendParameterNode(root, p.name, p.defaultValue);
            }
            gf_logParameter(p);
        };
        for (BoolParameter* p : lists.plainBools) readBoolParam(*p);
        for (BoolUiParameter* p : lists.windowBools) {
            readBoolParam(*p);
            gf_showBoolParameter(*p);
        }
        for (IntParameter* p : lists.plainInts) readIntParam(*p);
        for (std::size_t i = 0; i < lists.windowInts.size(); ++i) {
            readIntParam(*lists.windowInts[i]);
            if (const UiControl* c = lists.windowIntControls[i]) gf_showIntParameter(*lists.windowInts[i], *c);
        }
        for (StringParameter* p : lists.strings) readStringParam(*p);
        for (StringUiParameter* p : lists.windowStrings) {
            readStringParam(*p);
            gf_showStringParameter(*p);
        }
        saveSettings(doc);
    }
    gf_logRaw(gf_markedText(80, 0, false, true, ""));
}

// The value line comes first, so that a failed save follows the value it concerns.
void gf_saveBoolParameter(const BoolParameter& p) {
    gf_logParameter(p);
    saveValue(p.name, boolText(p.value.load()));
}

void gf_saveIntParameter(const IntParameter& p) {
    gf_logParameter(p);
    saveValue(p.name, std::to_string(p.value.load()));
}

void gf_saveStringParameter(const StringParameter& p) {
    gf_logParameter(p);
    saveValue(p.name, p.value.get());
}

void gf_setStringParameter(StringParameter& p, const std::string& text) {
    p.value.set(text);
    gf_saveStringParameter(p);
}

bool lf_removeParameter(const Parameter& p) {
    const std::lock_guard lock(g_settingsMutex);
    pugi::xml_document doc;
    if (loadSettings(doc).result != LoadResult::Loaded) return false;
    const pugi::xml_node node = findParameterNode(doc, p.name);
    if (!node) return false;
    doc.document_element().remove_child(node);
    gf_log(skh::format("Parameter '{}' removed", p.name));
    saveSettings(doc);
    return true;
}

std::uint32_t gf_setRangeSelection(std::int32_t nm) {
    const std::int32_t clamped = std::clamp(nm, RANGE.minimum, RANGE.maximum);
    RANGE.value = clamped;
    const auto it = std::find(RANGE.choices.begin(), RANGE.choices.end(), clamped);
    const platform::WindowHandle h = RANGE.hwnd.load();
    if (it != RANGE.choices.end() && h != 0) {
        platform::comboSetCurSel(h, static_cast<int>(it - RANGE.choices.begin()));
    }
    const auto metres = static_cast<std::uint32_t>(clamped) * 1852u;
    g_rangeNm = static_cast<double>(clamped);
    g_rangeMetres = metres;
    return metres;
}

void gf_loadParameters() {
    const std::lock_guard lock(g_settingsMutex);
    gf_readParameters(gf_parameterLists());
    lf_versionUpdate();
    gf_setRangeSelection(RANGE.value.load());
}

std::int32_t gf_snapMaxAircraft(std::int32_t count) {
    // Compared unsigned: a negative count stands for "no limit".
    if (static_cast<std::uint32_t>(count) > 299u) return 500;
    if (count == 0) return 0;
    if (count <= 17) return 10;
    if (count <= 37) return 25;
    if (count <= 62) return 50;
    if (count <= 87) return 75;
    return 100;
}

// ---------------------------------------------------------------------------
// Version update

namespace {

std::int32_t airportRangeStep(std::int32_t v) {
    if (v < 8) return 5;
    if (v <= 12) return 10;
    if (v <= 17) return 15;
    if (v <= 22) return 20;
    if (v <= 26) return 25;
    return 30;
}

void migrate(const IntParameter& oldKey, IntChoiceParameter& newKey, std::int32_t newValue) {
    newKey.value = std::clamp(newValue, newKey.minimum, newKey.maximum);
    gf_saveIntParameter(newKey);
    lf_removeParameter(oldKey);
}

// Names like ICAO codes: four upper-case ASCII letters or digits.
bool isAirportCodeName(const std::string& stem) {
    return stem.size() == 4 && std::all_of(stem.begin(), stem.end(),
                                           [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

void cleanUpProgramFolder() {
    std::error_code ec;
    if (fs::exists("TO_BE_LEARNED_OFFLINE", ec)) fs::remove_all("TO_BE_LEARNED_OFFLINE", ec);
    if (ec) return;
    if (fs::exists("versions.json", ec)) fs::remove("versions.json", ec);
    if (ec) return;
    const fs::path current = fs::current_path(ec);
    if (ec) return;
    gf_log(current.string());
    for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        const fs::path& p = it->path();
        if (p.extension() == ".xml" && isAirportCodeName(p.stem().string())) {
            std::error_code removeEc;
            fs::remove(p, removeEc);
        }
    }
}

void removeLogged(const fs::path& path) {
    std::error_code ec;
    if (!fs::remove(path, ec) && ec && ec != std::errc::no_such_file_or_directory) {
        gf_log(skh::format("Failed to remove {}: {}", path.string(), ec.message()));
    }
}

void turnScanOn(BoolUiParameter& p) {
    p.value = true;
    gf_saveBoolParameter(p);
    gf_showBoolParameter(p);
}

}  // namespace

void lf_versionUpdate() {
    const std::string programText = gf_versionToString(g_programVersion);
    const std::string storedText = PROGRAM_VERSION.value.get();
    if (storedText == PROGRAM_VERSION.defaultValue) {
        gf_setStringParameter(PROGRAM_VERSION, programText);
        return;
    }
    const VersionData stored(storedText);
    if (stored != g_programVersion) gf_setStringParameter(PROGRAM_VERSION, programText);
    if (!(g_programVersion > stored)) return;

    gf_log(skh::format("This is a version update from {} -> {}", gf_versionToString(stored), programText));
    lf_removeParameter(Parameter("CALLSIGN_OBJECTIDS"));
    cleanUpProgramFolder();
    // A file that cannot be removed must not stop the migration that follows.
    std::error_code ec;
    if (fs::exists(g_oldAirportsXml, ec)) removeLogged(g_oldAirportsXml);

    static const VersionData kNoMigration[] = {{11, 0, 2}, {11, 0, 3}, {11, 0, 4}, {11, 1, 0}, {11, 2, 0}};
    if (std::find(std::begin(kNoMigration), std::end(kNoMigration), stored) == std::end(kNoMigration)) {
        migrate(CUSTOM_MAX_PARK, MAX_PARK_SEL, gf_snapMaxAircraft(CUSTOM_MAX_PARK.value));
        migrate(MAX_LIVE, MAX_LIVE_SEL, gf_snapMaxAircraft(MAX_LIVE.value));
        migrate(LATERAL_RANGE, RANGE, lf_snapRangeStep(LATERAL_RANGE.value));
        migrate(AIRPORT_RANGE, AIRP_RANGE, airportRangeStep(AIRPORT_RANGE.value));
        migrate(AUTO_RANGE_ABOVE_HEIGHT, AR_ABOVE_HEIGHT, lf_snapAltitudeStep(AUTO_RANGE_ABOVE_HEIGHT.value));
        migrate(AIRPORT_HEIGHT, AIRP_HEIGHT, lf_snapAltitudeStep(AIRPORT_HEIGHT.value));
    }
    removeLogged(g_installerFile);
    turnScanOn(SCAN_LIVERIES);
    turnScanOn(SCAN_AIRPORTS);
}

}  // namespace skh
