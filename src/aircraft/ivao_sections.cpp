#include "aircraft/ivao_sections.hpp"

#include "aircraft/dbase.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"

namespace skh {

namespace {

bool isWordChar(char c) { return gf_isAsciiAlnum(c) || c == '_'; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (gf_toLower(a[i]) != gf_toLower(b[i])) return false;
    }
    return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::string lf_checkTypeCode(const std::string& code, std::string_view filePath) {
    if (gf_isKnownType(code)) return code;
    const auto fix = g_typeFixes.find(code);
    if (fix != g_typeFixes.end()) {
        lf_addCodeFix(skh::format("Model fix: {} found in {} changed into {}", code, filePath, fix->second));
        return fix->second;
    }
    lf_addError16(code, filePath);
    return {};
}

std::string lf_fixAtcModel(std::string_view filePath, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::string model = lf_matchAtcModel(line);
        if (!model.empty()) return lf_checkTypeCode(model, filePath);
    }
    lf_addInvalidCfgFile("Line atc_model= is missing in [General] section of " + std::string(filePath));
    return {};
}

std::string lf_ivaoModelCode(std::string_view path) {
    // <something>\IVAO_MTL\IVAO_<word characters>\aircraft?cfg, any letter case.
    const std::size_t fileStart = path.rfind('\\');
    if (fileStart == std::string_view::npos) return {};
    const std::string_view file = path.substr(fileStart + 1);
    if (file.size() != 12 || !equalsNoCase(file.substr(0, 8), "aircraft") || file[8] == '\n' || file[8] == '\r' ||
        !equalsNoCase(file.substr(9), "cfg")) {
        return {};
    }
    const std::size_t modelStart = path.rfind('\\', fileStart - 1);
    if (modelStart == std::string_view::npos || modelStart == 0) return {};
    const std::string_view folder = path.substr(modelStart + 1, fileStart - modelStart - 1);
    if (folder.size() < 6 || !equalsNoCase(folder.substr(0, 5), "IVAO_")) return {};
    const std::string_view code = folder.substr(5);
    for (const char c : code) {
        if (!isWordChar(c)) return {};
    }
    const std::string_view before = path.substr(0, modelStart);
    if (before.size() < 10 || !equalsNoCase(before.substr(before.size() - 9), "\\IVAO_MTL")) return {};
    return std::string(code);
}

std::string lf_ivaoTypeFromModel(std::string code) {
    if (!code.empty() && code.back() == 'w') {
        code.pop_back();
    } else if (code == "B744F") {
        code = "B744";
    } else if (code == "T154M" || code == "T154B2") {
        code = "T154";
    } else if (code == "GLID_SH" || code == "GLID_A13" || code == "GLID_A25" || code == "GLID_KA6" ||
               code == "GLID_KA8" || code == "GLID_L13") {
        code = "GLID";
    }
    return code;
}

std::string lf_fixIvaoMtlModel(std::string_view filePath) {
    const std::string code = lf_ivaoModelCode(filePath);
    if (code.empty()) {
        lf_addError16("  ", filePath);
        return {};
    }
    return lf_checkTypeCode(lf_ivaoTypeFromModel(code), filePath);
}

std::string lf_ivaoAirlineFromTitle(std::string_view title, std::string_view type) {
    if (title.size() < type.size() || !equalsNoCase(title.substr(0, type.size()), type)) return {};
    std::size_t pos = type.size();
    while (pos < title.size() && isBlank(title[pos])) ++pos;
    if (title.size() - pos < 3) return {};
    for (std::size_t i = pos; i < pos + 3; ++i) {
        if (!isWordChar(title[i])) return {};
    }
    // The rest is ".*": anything but a line break.
    if (title.find_first_of("\r\n", pos + 3) != std::string_view::npos) return {};
    return std::string(title.substr(pos, 3));
}

std::list<LiveryData> lf_splitIvaoFltsimSections(std::int32_t folderNo, const std::vector<std::string>& lines,
                                                 const std::string& type, const std::string& filePath,
                                                 const std::string& folderPath) {
    std::list<LiveryData> records;
    // Any "[" ends a section of an IVAO file.
    lf_forEachFltsimSection(
        lines, [](std::string_view line) { return line.find('[') != std::string_view::npos; },
        [&](Section& section) {
            LiveryData record = lf_parseIvaoFltsimSection(folderNo, section, type, filePath, folderPath);
            if (!record.empty()) records.push_back(std::move(record));
        });
    return records;
}

LiveryData lf_parseIvaoFltsimSection(std::int32_t folderNo, Section& section, const std::string& type,
                                     const std::string& filePath, const std::string& folderPath) {
    lf_trimSectionEnd(section);
    if (section.empty()) return {};
    const std::string& header = section.front();
    const auto report = [&](std::string_view what) {
        lf_addIncompleteSection(skh::format("{} {}{}", folderPath, header, what));
    };
    std::string title, parkingTypes, atcId, model, sim, texture;
    for (const std::string& line : section) {
        std::string value;
        if (title.empty() && lf_matchTitle(line, title)) continue;
        if (!title.empty() && lf_matchTitle(line, value)) {
            report(" has more than one title key");
            return {};
        }
        if (parkingTypes.empty() && lf_matchAtcParkingTypes(line, value)) {
            gf_normaliseList(value);
            parkingTypes = gf_upper(value);  // checked, but IVAO liveries are never cargo liveries
            continue;
        }
        if (!parkingTypes.empty() && lf_hasAtcParkingTypes(line)) {
            report(" has more than one atc_parking_types key");
            return {};
        }
        if (atcId.empty() && lf_matchAtcId(line, value)) {
            if (!lf_validateAtcId(value, atcId)) {
                lf_addIncompleteSection(skh::format("invalid atc_id={} in {}", value, title));
                atcId.clear();
            }
            continue;
        }
        if (!atcId.empty() && lf_hasAtcId(line)) {
            lf_addIncompleteSection(skh::format("{}, {}, has more than one atc_id key", folderPath, header));
            return {};
        }
        if (model.empty() && lf_matchModel(line, model)) continue;
        if (sim.empty() && lf_matchSim(line, sim)) continue;
        if (texture.empty()) lf_matchTexture(line, texture);
    }
    const SectionFiles files = lf_sectionFiles(folderPath, model, texture, sim);
    for (const auto& [path, directory] :
         {std::pair{&files.model, true}, std::pair{&files.air, false}, std::pair{&files.texture, true}}) {
        if (directory ? !lf_isDirectory(*path) : !lf_isRegularFile(*path)) {
            lf_addIncompleteSection(skh::format("{} {} does not exist", *path, header));
            return {};
        }
    }
    if (title.empty()) {
        report(" misses title");
        return {};
    }
    if (lf_isDontUseTitle(title) || lf_refuseLongTitle(title, folderPath, header)) return {};
    std::string airline = lf_ivaoAirlineFromTitle(title, type);
    if (!airline.empty()) {
        if (!gf_isIcaoAirline(airline)) {
            lf_addError12(airline, filePath, header);
            return {};
        }
        if (airline == g_genericAirline) atcId.clear();
    } else if (atcId.empty()) {
        report(" misses airlinecode in title: " + title + ", and no regcode");
        return {};
    } else {
        const auto record = gf_findDbaseRecord(atcId);
        if (!record || record->airl.empty()) {
            report(" misses airlinecode in title: " + title + ", and regcode unknown " + atcId);
            return {};
        }
        airline = record->airl;
    }
    LiveryData record = lf_makeLiveryData(folderNo, std::move(airline), type, 1, title, std::move(atcId));
    if (record.empty()) report(" title already exists: " + title);
    return record;
}

}  // namespace skh
