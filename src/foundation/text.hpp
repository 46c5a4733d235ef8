#pragma once
// Small text functions shared by every subsystem.
#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace skh {

// Byte-wise ASCII case mapping and classification; safe for any byte value.
inline char gf_toUpper(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<char>(u - 32) : c;
}
inline char gf_toLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<char>(u + 32) : c;
}
inline bool gf_isAsciiAlnum(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}
std::string gf_upper(std::string_view text);
std::string gf_lower(std::string_view text);

// Removes " \t\n\r" from both ends.
std::string gf_trim(std::string_view text);

// Cuts at every delimiter; every piece (also empty ones) is trimmed. An empty
// text gives no pieces.
std::vector<std::string> gf_split(std::string_view text, char delimiter);
std::vector<std::string> gf_splitCommaTrim(std::string_view text);
std::vector<std::string> gf_splitComma(std::string_view text);
std::string gf_joinComma(const std::vector<std::string>& items);

bool gf_containsNoCase(std::string_view text, std::string_view part);
bool gf_contains(std::string_view text, std::string_view part);
bool gf_containsChar(std::string_view text, char c);

// "" for a count of 1 (and, for the signed forms, a negative count), else "s".
std::string gf_plural(std::int64_t n);
std::string gf_plural32(std::int32_t n);
std::string gf_pluralUnsigned(std::uint64_t n);

// "{:.1f}" when x has a fractional part, else "{:.0f}".
std::string gf_float2string(float x);

// True when text is name followed by one '*'.
bool gf_equalsStarred(std::string_view name, std::string_view text);
// True when text equals the pattern cut at its first '*' (the whole pattern
// when it has none).
bool gf_wildcardEqual(std::string_view text, std::string_view pattern);

// Writes every line with a line end, truncating the file; false when the
// file cannot be opened or written.
bool gf_writeLines(const std::vector<std::string>& lines, const std::filesystem::path& path);
// Appends the stream's lines, cut at LF; a CR before the LF stays in the line.
void gf_readStreamLines(std::istream& in, std::vector<std::string>& lines);

}  // namespace skh
