#include "aircraft/aircraft_cfg.hpp"

#include <charconv>
#include <functional>

#include "aircraft/dbase.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "platform/win_path.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

// The white space of the configuration files' patterns.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::size_t skipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    return pos;
}

// `text` at `pos` starts with `word`, in any letter case.
bool startsWithNoCase(std::string_view text, std::size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (gf_toLower(text[pos + i]) != gf_toLower(word[i])) return false;
    }
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool matchInto(std::string_view line, std::string_view key, std::string& value) {
    std::string found = lf_matchKeyValue(line, key);
    if (found.empty()) return false;
    value = std::move(found);
    return true;
}

}  // namespace

bool lf_validateAtcId(std::string_view value, std::string& registration) {
    const std::vector<std::string> items = gf_split(value, ',');
    if (items.empty()) return false;
    for (const std::string& item : items) {
        if (item.empty() || item.size() > 12 || item.find('*') != std::string::npos) return false;
    }
    registration = items.size() == 1 ? items.front() : std::string();
    return true;
}

std::string lf_matchKeyValue(std::string_view line, std::string_view key) {
    std::size_t pos = skipBlanks(line, 0);
    if (!startsWithNoCase(line, pos, key)) return {};
    pos = skipBlanks(line, pos + key.size());
    if (pos >= line.size() || line[pos] != '=') return {};
    pos = skipBlanks(line, pos + 1);
    std::size_t end = line.size();
    while (end > pos && isBlank(line[end - 1])) --end;
    const std::string_view value = line.substr(pos, end - pos);
    // "." does not match a line break: a value with one inside is no match.
    if (value.empty() || value.find_first_of("\r\n") != std::string_view::npos) return {};
    return std::string(value);
}

bool lf_matchTitle(std::string_view line, std::string& value) { return matchInto(line, "title", value); }
bool lf_matchSim(std::string_view line, std::string& value) { return matchInto(line, "sim", value); }
bool lf_matchModel(std::string_view line, std::string& value) { return matchInto(line, "model", value); }
bool lf_matchTexture(std::string_view line, std::string& value) { return matchInto(line, "texture", value); }
bool lf_matchAtcId(std::string_view line, std::string& value) { return matchInto(line, "atc_id", value); }
bool lf_matchAtcParkingTypes(std::string_view line, std::string& value) {
    return matchInto(line, "atc_parking_types", value);
}

bool lf_matchAtcParkingCodes(std::string_view line, std::string& value) {
    const std::string found = lf_matchKeyValue(line, "atc_parking_codes");
    if (found.empty()) return false;
    std::vector<std::string> items = gf_splitCommaTrim(found);
    if (items.empty()) return false;
    value = std::move(items.front());
    return true;
}

std::string lf_matchAtcModel(std::string_view line) { return lf_matchKeyValue(line, "atc_model"); }

bool lf_hasAtcId(std::string_view line) { return line.find("atc_id=") != std::string_view::npos; }
bool lf_hasAtcParkingTypes(std::string_view line) { return line.find("atc_parking_types") != std::string_view::npos; }

std::string lf_matchFltsimSection(std::string_view line) {
    if (line.size() >= 2 && line.substr(0, 2) == "//") return {};
    std::size_t pos = skipBlanks(line, 0);
    if (startsWithNoCase(line, pos, "[fltsim.")) {
        const std::size_t digits = pos + 8;
        std::size_t end = digits;
        while (end < line.size() && isDigit(line[end])) ++end;
        if (end > digits && end < line.size() && line[end] == ']' && skipBlanks(line, end + 1) == line.size()) {
            return std::string(line.substr(digits, end - digits));
        }
    }
    if (line.find("[fltsim.") != std::string_view::npos || line.find("[FLTSIM.") != std::string_view::npos) {
        return std::to_string(kFltsimMarker);
    }
    return {};
}

bool lf_checkFltsimNumber(const std::vector<std::string>& lines, std::string_view filePath) {
    bool anyHeader = false;
    bool tooLarge = false;
    for (const std::string& line : lines) {
        const std::string number = lf_matchFltsimSection(line);
        if (number.empty()) continue;
        anyHeader = true;
        int value = 0;
        const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (ec != std::errc() || ptr != number.data() + number.size()) {
            gf_logWarning(skh::format("fltsim num {} incorrect", line));
            return false;
        }
        tooLarge = tooLarge || value > kFltsimMarker;
    }
    if (!anyHeader) {
        g_emptyAircraftCfgFiles.add(std::string(filePath));
        return true;
    }
    if (tooLarge) {
        lf_addInvalidCfgFile(
            skh::format("{} contains a [fltsim.x] section with a number < 0 or > {}", filePath, kFltsimMarker));
        return false;
    }
    return true;
}

fs::path lf_localPath(std::string_view text) { return platform::mapWindowsPath(text); }

std::string lf_folderText(std::string_view fileText) {
    const std::size_t slash = fileText.rfind('\\');
    return slash == std::string_view::npos ? std::string() : std::string(fileText.substr(0, slash));
}

std::string lf_joinText(std::string_view folder, std::string_view name) {
    while (!name.empty() && name.back() == '.') name.remove_suffix(1);
    std::string text(folder);
    if (!text.empty() && !name.empty()) text += '\\';
    text += name;
    return text;
}

void lf_trimSectionEnd(Section& section) {
    while (!section.empty() && (section.back().empty() || section.back().rfind("//", 0) == 0)) section.pop_back();
}

bool lf_refuseLongTitle(std::string_view title, std::string_view folderPath, std::string_view header) {
    if (title.size() < kTitleLimitBytes) return false;
    lf_addIncompleteSection(
        skh::format("{} {} title of {} bytes is too long for the simulator", folderPath, header, title.size()));
    return true;
}

bool lf_isDirectory(const std::string& text) { return fs::is_directory(fs::status(lf_localPath(text))); }

bool lf_isRegularFile(const std::string& text) { return fs::is_regular_file(fs::status(lf_localPath(text))); }

SectionFiles lf_sectionFiles(std::string_view folderPath, const std::string& model, const std::string& texture,
                             const std::string& sim) {
    return {lf_joinText(folderPath, "model." + model), lf_joinText(folderPath, "texture." + texture),
            lf_joinText(folderPath, sim + ".air")};
}

void lf_forEachFltsimSection(const std::vector<std::string>& lines, bool (*endsSection)(std::string_view),
                             const std::function<void(Section&)>& parse) {
    Section section;
    section.reserve(48);
    bool inSection = false;
    const auto flush = [&] {
        if (!section.empty()) parse(section);
        section.clear();
    };
    for (const std::string& line : lines) {
        if (!lf_matchFltsimSection(line).empty()) {
            flush();
            inSection = true;
            section.push_back(line);
        } else if (endsSection(line)) {
            if (inSection) flush();
            section.clear();
            inSection = false;
        } else if (inSection) {
            section.push_back(line);
        }
    }
    if (inSection) flush();
}

std::list<LiveryData> lf_splitFltsimSections(std::int32_t folderNo, const std::vector<std::string>& lines,
                                             const std::string& type, const std::string& filePath,
                                             const std::string& folderPath) {
    std::list<LiveryData> records;
    // Another section header ([General] ...) stands within a line's first six characters.
    lf_forEachFltsimSection(
        lines, [](std::string_view line) { return line.substr(0, 6).find('[') != std::string_view::npos; },
        [&](Section& section) {
            records.splice(records.end(), lf_parseFltsimSection(folderNo, section, type, filePath, folderPath));
        });
    return records;
}

std::list<LiveryData> lf_parseFltsimSection(std::int32_t folderNo, Section& section, const std::string& type,
                                            const std::string& filePath, const std::string& folderPath) {
    lf_trimSectionEnd(section);
    if (section.empty()) return {};
    const std::string& header = section.front();
    std::string title, airline, parkingTypes, atcId, model, sim, texture;
    bool refused = false;
    bool silent = false;  // refused without a word (an RFO livery)
    const auto refuse = [&](const char* format) {
        lf_addIncompleteSection(skh::format(skh::runtime(format), folderPath, header));
        refused = true;
    };
    for (const std::string& line : section) {
        std::string value;
        if (title.empty() && lf_matchTitle(line, title)) continue;
        if (!title.empty() && lf_matchTitle(line, value)) {
            refuse("{} {} has more than one title key");
            break;
        }
        if (!airline.empty() && line.find("atc_parking_codes") != std::string::npos) {
            refuse("{} {} has more than one atc_parking_codes key");
            break;
        }
        if (airline.empty() && lf_matchAtcParkingCodes(line, value)) {
            gf_normaliseList(value);
            if (value.size() == 4 && (value[3] == 'X' || value[3] == 'C')) value.resize(3);
            if (gf_isIcaoAirline(value)) {
                airline = std::move(value);
                continue;
            }
            if (value == "RFO") {
                refused = silent = true;
                break;
            }
            lf_addError12(value, filePath, header);
            continue;
        }
        if (!parkingTypes.empty() && lf_hasAtcParkingTypes(line)) {
            refuse("{} {} has more than one atc_parking_types key");
            break;
        }
        if (parkingTypes.empty() && lf_matchAtcParkingTypes(line, value)) {
            gf_normaliseList(value);
            parkingTypes = gf_upper(value);
            continue;
        }
        if (!atcId.empty() && lf_hasAtcId(line)) {
            refuse("{}, {}, has more than one atc_id key");
            break;
        }
        if (atcId.empty() && lf_matchAtcId(line, value)) {
            const std::string beforeComment = value.substr(0, value.find(';'));
            if (!lf_validateAtcId(beforeComment, atcId)) {
                lf_addIncompleteSection(skh::format("invalid atc_id={} in: {}", beforeComment, title));
                atcId.clear();
            }
            continue;
        }
        if (model.empty() && lf_matchModel(line, model)) continue;
        if (sim.empty() && lf_matchSim(line, sim)) continue;
        if (texture.empty()) lf_matchTexture(line, texture);
    }
    if (airline.empty() && !silent) {
        lf_addIncompleteSection(
            skh::format("{} {} icao_airline is missing, or it has invalid info ", filePath, header));
    }
    if (refused) return {};
    const SectionFiles files = lf_sectionFiles(folderPath, model, texture, sim);
    if (!lf_isDirectory(files.model) || !lf_isDirectory(files.texture) || !lf_isRegularFile(files.air)) {
        lf_addIncompleteSection(files.model + " or related path does not exist: " + header);
        return {};
    }
    if (title.empty()) {
        lf_addIncompleteSection(skh::format("{} {} misses title", folderPath, header));
        return {};
    }
    if (lf_isDontUseTitle(title) || lf_refuseLongTitle(title, folderPath, header)) return {};
    if (airline == g_genericAirline) atcId.clear();
    if (airline.empty()) {
        const bool heavy = gf_sizeCategory(type) == CatHeavy;
        if (atcId.empty()) {
            if (heavy) {
                lf_addIncompleteSection(
                    skh::format("'{}' '{}' has no airline and no regcode info", folderPath, header));
                return {};
            }
            airline = "PVT";
            atcId = gf_findRegistrationIn(title).value_or(std::string());
        } else {
            // A database record without an airline counts as unknown: an
            // empty airline would make the livery "no record".
            const auto record = gf_findDbaseRecord(atcId);
            if (record && !record->airl.empty()) {
                airline = record->airl;
            } else if (heavy) {
                lf_addIncompleteSection(
                    skh::format("'{}' '{}' has no airline and regcode not in dbase", folderPath, header));
                return {};
            } else {
                airline = "PVT";
            }
        }
    }
    const bool cargo = parkingTypes.find("CARGO") != std::string::npos;
    LiveryData record = lf_makeLiveryData(folderNo, std::move(airline), type, cargo ? 0 : 1, title, std::move(atcId));
    if (record.empty()) {
        lf_addIncompleteSection(skh::format("{} {} title '{}' already exists", folderPath, header, title));
        return {};
    }
    std::list<LiveryData> result;
    result.push_back(std::move(record));
    return result;
}

}  // namespace skh
