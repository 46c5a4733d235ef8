#include "airports/scenery_config.hpp"

#include <algorithm>
#include <array>

#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "platform/codepage.hpp"
#include "platform/known_folders.hpp"
#include "platform/win_path.hpp"

namespace skh {

namespace {

constexpr std::size_t kSceneryCfgLines = 4048;

// Stock scenery folders as scenery.cfg names them below the installation.
constexpr std::array<std::string_view, 43> kStockFolders = {
    "Cities", "World", "BASE", "Global", "Bathymetry", "0006", "0007", "0103", "0106", "0107", "0206",
    "0207",   "0307",  "0407", "0505",   "0506",       "0507", "0606", "0607", "0706", "0707", "0805",
    "0806",   "0807",  "0900", "0906",   "0907",       "1000", "1006", "1007", "1100", "1102", "1107",
    "AFRI",   "ASIA",  "AUST", "EURE",   "EURW",       "NAMC", "NAME", "NAMW", "OCEN", "SAME"};

// The components of a path text, "." dropped and ".." applied.
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return gf_toLower(x) == gf_toLower(y); });
}

// scenery.cfg lines are "Key=Value" inside "[Area.nnn]" sections.
std::string keyOf(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return {};
    return gf_lower(gf_trim(line.substr(0, eq)));
}

std::string valueOf(std::string_view line) {
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string() : gf_trim(line.substr(eq + 1));
}

bool isSectionHeader(std::string_view trimmedLine) { return !trimmedLine.empty() && trimmedLine.front() == '['; }

bool isAbsoluteWindowsPath(std::string_view value) {
    return value.find(":\\") != std::string_view::npos || value.find(":/") != std::string_view::npos ||
           value.substr(0, 2) == "\\\\";
}

std::string joinWindowsPath(const std::string& base, const std::string& value) {
    if (base.empty()) return value;
    const char last = base.back();
    return last == '\\' || last == '/' ? base + value : base + "\\" + value;
}

// Both files come in any of the charsets the reader knows; 8-bit ones in the
// Windows code page, whose folder names must become UTF-8.
bool readConfigLines(const std::filesystem::path& path, std::vector<std::string>& lines) {
    if (!gf_readExtTextFileToStringVector(path, lines)) return false;
    for (std::string& line : lines) line = platform::utf8OrCp1252ToUtf8(line);
    return true;
}

// The local file of a Windows path below "C:\ProgramData".
std::filesystem::path programDataFile(const std::string& relative) {
    if (const auto root = platform::programDataFolder()) return *root / platform::mapWindowsPath(relative);
    return platform::mapWindowsPath("C:\\ProgramData\\" + relative);
}

}  // namespace

std::string lf_stockAirportsText(const std::string& installPath) {
    return gf_trim(installPath).empty() ? std::string() : joinWindowsPath(installPath, "Scenery");
}

SceneryConfigSetup lf_scenerySetup(const std::string& simVersion, const std::string& installPath) {
    SceneryConfigSetup s;
    s.installPath = installPath;
    s.stockText = lf_stockAirportsText(installPath);
    const std::string folder = "Lockheed Martin\\Prepar3D v" + simVersion + "\\";
    s.sceneryCfgText = "C:\\ProgramData\\" + folder + "scenery.cfg";
    s.sceneryCfg = programDataFile(folder + "scenery.cfg");
    s.addonsXmlText = "C:\\ProgramData\\" + folder + "scenery_add-ons.xml";
    s.addonsXml = programDataFile(folder + "scenery_add-ons.xml");
    return s;
}

bool lf_isWithinFolder(std::string_view path, std::string_view folder) {
    const auto inner = components(path);
    const auto outer = components(folder);
    if (outer.empty() || inner.size() < outer.size()) return false;
    return std::equal(outer.begin(), outer.end(), inner.begin(), equalNoCase);
}

bool lf_isStockScenery(std::string_view localValue) {
    const auto parts = components(localValue);
    // A marker counts below the first component only ("Scenery\World").
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const auto isPart = [&](std::string_view marker) { return equalNoCase(parts[i], marker); };
        if (std::any_of(kStockFolders.begin(), kStockFolders.end(), isPart)) return true;
    }
    return false;
}

void lf_readSceneryCfgEntry(const std::vector<std::string>& lines, const std::string& base,
                            const std::string& stockText, std::vector<std::string>& folders) {
    const bool active = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return keyOf(line) == "active" && gf_lower(valueOf(line)) == "true";
    });
    if (!active) return;
    for (const std::string& line : lines) {
        if (keyOf(line) != "local") continue;
        std::string value = valueOf(line);
        if (value.empty()) continue;  // an empty Local would name the whole installation
        if (!isAbsoluteWindowsPath(value)) {
            if (lf_isStockScenery(value)) continue;
            value = joinWindowsPath(base, value);
        }
        if (lf_isWithinFolder(value, stockText)) continue;
        gf_log(skh::format("      found:{}", value));
        folders.push_back(std::move(value));
    }
}

void lf_readSceneryCfg(std::vector<std::string>& folders, const SceneryConfigSetup& setup) {
    gf_log(skh::format("\\nReading: {} for airport add-ons ...", setup.sceneryCfgText));
    std::vector<std::string> lines;
    lines.reserve(kSceneryCfgLines);
    if (!readConfigLines(setup.sceneryCfg, lines)) {
        gf_log(setup.sceneryCfgText + " not found!");
        return;
    }
    const std::size_t before = folders.size();
    std::vector<std::string> area;
    for (const std::string& raw : lines) {
        std::string line = gf_trim(raw);
        if (isSectionHeader(line)) {
            if (!area.empty()) lf_readSceneryCfgEntry(area, setup.installPath, setup.stockText, folders);
            area.clear();
            continue;
        }
        const std::string key = keyOf(line);
        if (key == "required" || key == "title" || key == "layer") continue;
        area.push_back(std::move(line));
    }
    if (!area.empty()) lf_readSceneryCfgEntry(area, setup.installPath, setup.stockText, folders);
    gf_log(skh::format("{} scenery add-on paths found\n", folders.size() - before));
}

void lf_readSceneryAddonsXml(std::vector<std::string>& folders, const SceneryConfigSetup& setup) {
    gf_log(skh::format("\\nReading {} for add-on airport ...", setup.addonsXmlText));
    std::vector<std::string> lines;
    if (!readConfigLines(setup.addonsXml, lines)) {
        gf_log(setup.addonsXmlText + " not found!");
        return;
    }
    const std::size_t before = folders.size();
    for (const std::string& line : lines) {
        std::string path = gf_extractPath(line);
        if (path.empty()) continue;
        gf_log(skh::format("found path:{}", path));
        folders.push_back(std::move(path));
    }
    gf_log(skh::format("{} scenery add-on paths found\n", folders.size() - before));
}

void lf_checkFolderParameter(std::vector<std::string>& folders, const std::string& stockText) {
    folders.clear();
    for (const StringParameter* p : g_airportFolderParams) {
        std::string value = p->value.get();
        if (value.empty()) continue;
        if (lf_isWithinFolder(value, stockText)) {
            throw UserErrorException(
                42, skh::format("parameter {} points to stock airports instead of add-on airports!", p->name));
        }
        gf_log(skh::format("From parameter {}: {}", p->name, value));
        folders.push_back(std::move(value));
    }
}

}  // namespace skh
