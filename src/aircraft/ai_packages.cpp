#include "aircraft/ai_packages.hpp"

#include <exception>
#include <filesystem>
#include <functional>
#include <string_view>

#include "aircraft/aircraft_cfg.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "foundation/upcalls.hpp"
#include "foundation/win_interfaces.hpp"
#include "platform/known_folders.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

bool containsAny(std::string_view line, std::initializer_list<std::string_view> words) {
    for (const std::string_view word : words) {
        if (line.find(word) != std::string_view::npos) return true;
    }
    return false;
}

bool hasPathWord(std::string_view line) { return containsAny(line, {"Path", "PATH", "path"}); }

// The trimmed text after the first "=", or nothing when there is no "=".
std::optional<std::string> valueAfterEquals(std::string_view line) {
    const std::size_t eq = line.find(g_equalsSign);
    if (eq == std::string_view::npos) return std::nullopt;
    return gf_trim(line.substr(eq + 1));
}

// A drive path ("D:..."), a UNC path or a path from the root.
bool isAbsoluteText(std::string_view text) {
    return (text.size() >= 2 && text[1] == ':') || (!text.empty() && (text[0] == '\\' || text[0] == '/'));
}

std::string resolveAgainst(std::string_view folder, const std::string& text) {
    return isAbsoluteText(text) ? text : lf_joinText(folder, text);
}

// Cuts the lines into sections that start at a header ("[" after trimming)
// naming `kind`; a header of another kind ends the section. Lines that
// `keep` refuses are not collected.
void walkSections(const std::vector<std::string>& lines, std::initializer_list<std::string_view> kind,
                  const std::function<bool(std::string_view)>& keep,
                  const std::function<void(const std::vector<std::string>&)>& handOver) {
    std::vector<std::string> collected;
    bool inSection = false;
    for (const std::string& line : lines) {
        const std::string trimmed = gf_trim(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            if (!collected.empty()) handOver(collected);
            collected.clear();
            inSection = containsAny(trimmed, kind);
        } else if (inSection && keep(line)) {
            collected.push_back(line);
        }
    }
    if (!collected.empty()) handOver(collected);
}

std::string simulatorFolderName() { return "Prepar3D v" + gf_getP3DVersion(); }

// The SimObjects components of one package's add-on.xml.
void exploreAddOnFile(const std::string& packagePath, std::vector<std::string>& roots) {
    const std::string addOnFile = lf_joinText(packagePath, "add-on.xml");
    if (!fs::exists(lf_localPath(addOnFile))) return;
    gf_logRaw(skh::format("   exploring {}", addOnFile));
    std::vector<std::string> lines;
    lines.reserve(4048);
    if (!gf_readExtTextFileToStringVector(lf_localPath(addOnFile), lines)) {
        gf_logRaw(addOnFile + " not found!");
        return;
    }
    bool simObjects = false;
    for (const std::string& line : lines) {
        if (simObjects) {
            simObjects = false;
            const std::string path = gf_extractPath(line);
            if (path.empty() || containsAny(path, {"Lights Reborn", "Aerosoft Geneva Professional"})) continue;
            // A relative path belongs to the package's folder.
            std::string root = resolveAgainst(packagePath, path);
            gf_logRaw(skh::format("      Simobjects found:{}", root));
            roots.push_back(std::move(root));
        } else if (containsAny(line, {"SimObjects", "SIMOBJECTS", "Simobjects", "simobjects"})) {
            simObjects = true;
        }
    }
}

}  // namespace

void lf_readPackagePaths(const std::vector<std::string>& lines, std::vector<std::string>& packagePaths) {
    for (const std::string& line : lines) {
        if (!hasPathWord(line)) continue;
        std::optional<std::string> value = valueAfterEquals(line);
        if (!value) continue;
        gf_logRaw(skh::format("path found:{}", *value));
        packagePaths.push_back(std::move(*value));
    }
}

void lf_readP3DAddOnsAircraft(std::vector<std::string>& roots) {
    const std::size_t before = roots.size();
    try {
        const std::string path =
            gf_appDataFolder().string() + "\\Lockheed Martin\\" + simulatorFolderName() + "\\add-ons.cfg";
        gf_logRaw(skh::format("\nReading {} for AI add-on packages...", path));
        std::vector<std::string> lines;
        lines.reserve(4048);
        if (!gf_readExtTextFileToStringVector(lf_localPath(path), lines)) {
            gf_logRaw(path + " not found!");
        } else {
            std::vector<std::string> packagePaths;
            walkSections(
                lines, {"Package", "PACKAGE"},
                [](std::string_view line) {
                    return !containsAny(line, {"Required", "REQUIRED"});
                },
                [&packagePaths](const std::vector<std::string>& package) {
                    lf_readPackagePaths(package, packagePaths);
                });
            for (const std::string& packagePath : packagePaths) {
                if (!packagePath.empty()) exploreAddOnFile(packagePath, roots);
            }
        }
        const std::size_t found = roots.size() - before;
        gf_logRaw(skh::format("{} AI add-on package{} found", found, gf_pluralUnsigned(found)));
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("sys error exception {} in {}, no AI add-on packages found", e.what(),
                                  "lf_readP3DAddOnsAircraft"));
    }
}

void lf_simObjectsFolders(const std::vector<std::string>& lines, std::vector<std::string>& roots) {
    for (const std::string& line : lines) {
        if (!hasPathWord(line)) continue;
        const std::optional<std::string> value = valueAfterEquals(line);
        if (line.find("SimObjects") == std::string::npos) {
            if (value) roots.push_back(*value);
            continue;
        }
        if (containsAny(line, {"Airplanes", "Avatars", "Rotorcraft", "GroundVehicles", "Boats", "Animals", "Misc",
                               "Submersible", "Weapons", "Countermeasures"})) {
            continue;
        }
        if (value) roots.push_back(resolveAgainst(SIM_INSTALL_PATH.value.get(), *value));
    }
}

void lf_readSimObjectsCfg(std::vector<std::string>& roots) {
    const std::string folder = simulatorFolderName();
    const std::string path = "C:\\ProgramData\\Lockheed Martin\\" + folder + "\\simobjects.cfg";
    const std::optional<fs::path> programData = platform::programDataFolder();
    const fs::path local =
        programData ? *programData / "Lockheed Martin" / folder / "simobjects.cfg" : lf_localPath(path);
    if (!fs::exists(local)) return;
    gf_logRaw(skh::format("\nReading {} for AI add-on packages...", path));
    std::vector<std::string> lines;
    lines.reserve(4048);
    if (!gf_readExtTextFileToStringVector(local, lines)) {
        gf_logRaw(path + " not found!");
        return;
    }
    const std::size_t before = roots.size();
    walkSections(
        lines, {"Entry", "ENTRY"},
        [](std::string_view line) {
            return !containsAny(line, {"Title", "Required"});
        },
        [&roots](const std::vector<std::string>& entry) { lf_simObjectsFolders(entry, roots); });
    gf_logRaw(skh::format("{} AI add-on packages found", roots.size() - before));
}

}  // namespace skh
