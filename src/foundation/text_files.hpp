#pragma once
// Text files of any charset read into UTF-8 lines, and the small file, folder
// and list-text utilities shared by the readers and report writers.
#include <cstdint>
#include <filesystem>
#include <istream>
#include <list>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace skh {

enum Charset : std::int32_t {
    CharsetAnsi = 0,
    CharsetUnicode = 1,           // UTF-16 LE with BOM
    CharsetUnicodeBigEndian = 2,  // UTF-16 BE with BOM
    CharsetUtf8WithBom = 3,
    CharsetUtf8WithoutBom = 4,
    CharsetNoneFound = 5,
};
const char* gf_charsetName(std::int32_t charset);

std::int32_t gf_detectCharset(const std::filesystem::path& path);
bool gf_readTextFileLines(std::int32_t charset, const std::filesystem::path& path, std::vector<std::string>& lines);
bool gf_readExtTextFileToStringVector(const std::filesystem::path& path, std::vector<std::string>& lines);
// Splits UTF-16 text at line feeds (a carriage return before one stays) and
// appends each line as UTF-8; throws the conversion errors.
void gf_readUtf16Lines(std::u16string_view text, std::vector<std::string>& lines);

// A file path with its lines.
struct LinesFile {
    std::filesystem::path path;
    std::vector<std::string> lines;
};
// Reads the file's lines as bytes (one trailing carriage return removed).
std::vector<std::string>& gf_readLines(LinesFile& file, std::size_t reserve);

bool gf_writeTextFile(const std::string& text, const std::filesystem::path& path);
// Saves through a temporary file renamed over the target.
bool gf_saveXml(const pugi::xml_document& doc, const std::filesystem::path& path);
std::string gf_extractPath(std::string_view text);
void gf_cleanFolder(const std::filesystem::path& folder);
std::uint64_t gf_countFolderEntries(const std::filesystem::path& folder);
std::vector<std::string> gf_listXmlFiles(const std::filesystem::path& folder);

// Half-hour sets: bit n for slot n (0..47).
std::uint64_t gf_hours2bitset(const std::string& text);
std::string gf_joinList(std::uint64_t halfHours);

void gf_normaliseList(std::string& text);
bool gf_equalsUpper(std::string_view reference, std::string_view text);
std::int32_t gf_percent(std::int64_t part, std::int64_t total);
std::string gf_markedText(int width, int extra, bool leadingBreak, bool trailingBreak, std::string_view title);
std::list<std::string> gf_regexSplit(const std::string& text);
std::string gf_attrString(const pugi::xml_node& node, const char* name);

// A file name beside `target` that no other call of this process uses:
// target + ".<thread>-<count>" + suffix.
std::filesystem::path gf_temporaryPathBeside(const std::filesystem::path& target, std::string_view suffix);

// The backup name of a file: "0" inserted before the last '.' of its path
// (Log.txt -> Log0.txt, EGLL.xml -> EGLL0.xml); "0" appended without a '.'.
std::filesystem::path gf_backupPath(const std::filesystem::path& path);

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`, so a crash or a full disk never leaves a half-written file. The
// second form says what failed, and with `error` the system's error number.
bool gf_writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
bool gf_writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string& problem,
                            int* error = nullptr);
// Copies `from` over `to` the same way, flushed to the disk before the rename.
bool gf_copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to, std::string& problem,
                           int* error = nullptr);
// The two steps of the atomic write, for a caller with a step between them:
// the bytes written to a new file beside `path` and flushed to the disk (its
// name; empty, with `problem` said, when that failed and nothing is left);
// then that file renamed over `path` in one step (false, with `problem`, when
// the rename failed: the file beside is removed and `path` is as it was).
// With `error`, the system's error number of a failure.
std::filesystem::path gf_writeFileBeside(const std::filesystem::path& path, std::string_view bytes,
                                         std::string& problem, int* error = nullptr);
// The first step under a name the caller chose: `bytes` written to the new
// file `file` and flushed to the disk; 0, or the system's reason, with
// nothing left (`created` says whether the file could be made).
int gf_writeNewFile(const std::filesystem::path& file, std::string_view bytes, bool* created = nullptr);
bool gf_replaceWith(const std::filesystem::path& beside, const std::filesystem::path& path, std::string& problem,
                    int* error = nullptr);
// The file name of the target that gf_temporaryPathBeside(target, suffix)
// made `name` for, or empty when `name` is no such name.
std::string gf_temporaryTarget(std::string_view name, std::string_view suffix);

}  // namespace skh
