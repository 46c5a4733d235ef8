#pragma once
// The [fltsim.N] sections of an aircraft.cfg file, cut from its decoded lines
// and turned into livery records; every refusal goes into the scan lists of
// livery_data.hpp. Runs inside the scan tasks, many at once: no state of its
// own besides the locked lists and the title factory.
//
// Paths are texts in the simulator's form ("D:\AI\Pkg\aircraft.cfg"): they
// appear so in every report line; the file system sees them through
// lf_localPath.
#include <filesystem>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "aircraft/livery_data.hpp"

namespace skh {

using Section = std::vector<std::string>;

// Line matchers: a whole line of the form "<blanks>key<blanks>=<blanks>value
// <blanks>", the key in any letter case, the value not empty. Linear in the
// line's length (no recursion), whatever the line holds.
std::string lf_matchKeyValue(std::string_view line, std::string_view key);
bool lf_matchTitle(std::string_view line, std::string& value);
bool lf_matchSim(std::string_view line, std::string& value);
bool lf_matchModel(std::string_view line, std::string& value);
bool lf_matchTexture(std::string_view line, std::string& value);
bool lf_matchAtcId(std::string_view line, std::string& value);
bool lf_matchAtcParkingTypes(std::string_view line, std::string& value);
// Keeps the first item of the comma list.
bool lf_matchAtcParkingCodes(std::string_view line, std::string& value);
std::string lf_matchAtcModel(std::string_view line);
bool lf_hasAtcId(std::string_view line);
// A comma list of registrations, each non-empty, at most 12 characters and
// without "*": the registration when there is one, "" for several.
bool lf_validateAtcId(std::string_view value, std::string& registration);
bool lf_hasAtcParkingTypes(std::string_view line);

// The section number of a header line "[fltsim.N]", "10000" for a line that
// names a section whose number cannot be read, "" for any other line.
inline constexpr int kFltsimMarker = 10000;
std::string lf_matchFltsimSection(std::string_view line);
// False when the file's section numbers forbid parsing it (reported).
bool lf_checkFltsimNumber(const std::vector<std::string>& lines, std::string_view filePath);

// Cuts the lines into sections (the header line first) and hands each to
// `parse`; a line that is no header and for which `endsSection` holds ends
// the current section, and the lines after it belong to none.
void lf_forEachFltsimSection(const std::vector<std::string>& lines, bool (*endsSection)(std::string_view),
                             const std::function<void(Section&)>& parse);
std::list<LiveryData> lf_splitFltsimSections(std::int32_t folderNo, const std::vector<std::string>& lines,
                                             const std::string& type, const std::string& filePath,
                                             const std::string& folderPath);
std::list<LiveryData> lf_parseFltsimSection(std::int32_t folderNo, Section& section, const std::string& type,
                                            const std::string& filePath, const std::string& folderPath);

// Helpers shared with the IVAO parser and the scan tasks.
// The local path of a simulator path text.
std::filesystem::path lf_localPath(std::string_view text);
// The text before the last "\", or "" when there is none.
std::string lf_folderText(std::string_view fileText);
// folder + "\" + name, with the trailing dots of name dropped as Windows does.
std::string lf_joinText(std::string_view folder, std::string_view name);
// Removes the trailing empty and "//" lines of a section.
void lf_trimSectionEnd(Section& section);
// True for a title the simulator would refuse (256 bytes or more); reported.
bool lf_refuseLongTitle(std::string_view title, std::string_view folderPath, std::string_view header);
// The three files of a section exist (model folder, texture folder, .air
// file); throws the file-system error of a failed status query.
struct SectionFiles {
    std::string model;
    std::string texture;
    std::string air;
};
SectionFiles lf_sectionFiles(std::string_view folderPath, const std::string& model, const std::string& texture,
                             const std::string& sim);
bool lf_isDirectory(const std::string& text);
bool lf_isRegularFile(const std::string& text);

}  // namespace skh
