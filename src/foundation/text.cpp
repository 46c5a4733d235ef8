#include "foundation/text.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "foundation/format.hpp"

namespace skh {

std::string gf_upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), gf_toUpper);
    return out;
}

std::string gf_lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), gf_toLower);
    return out;
}

std::string gf_trim(std::string_view text) {
    constexpr std::string_view ws = " \t\n\r";
    const auto first = text.find_first_not_of(ws);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(ws);
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> gf_split(std::string_view text, char delimiter) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    pieces.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), delimiter)) + 1);
    std::size_t start = 0;
    while (true) {
        const auto pos = text.find(delimiter, start);
        if (pos == std::string_view::npos) {
            pieces.push_back(gf_trim(text.substr(start)));
            break;
        }
        pieces.push_back(gf_trim(text.substr(start, pos - start)));
        start = pos + 1;
    }
    return pieces;
}

std::vector<std::string> gf_splitCommaTrim(std::string_view text) { return gf_split(text, ','); }

std::vector<std::string> gf_splitComma(std::string_view text) { return gf_split(text, ','); }

std::string gf_joinComma(const std::vector<std::string>& items) {
    std::string out;
    if (items.empty()) return out;
    std::size_t total = items.size() - 1;
    for (const auto& s : items) total += s.size();
    out.reserve(total);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ',';
        out += items[i];
    }
    return out;
}

bool gf_containsNoCase(std::string_view text, std::string_view part) {
    if (part.empty()) return true;
    const auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                                [](char a, char b) { return gf_toLower(a) == gf_toLower(b); });
    return it != text.end();
}

bool gf_contains(std::string_view text, std::string_view part) {
    if (part.empty()) return true;
    if (part.size() > text.size()) return false;
    return text.find(part) != std::string_view::npos;
}

bool gf_containsChar(std::string_view text, char c) {
    return !text.empty() && text.find(c) != std::string_view::npos;
}

std::string gf_plural(std::int64_t n) { return (n < 0 || n == 1) ? "" : "s"; }

std::string gf_plural32(std::int32_t n) { return gf_plural(n); }

std::string gf_pluralUnsigned(std::uint64_t n) { return n == 1 ? "" : "s"; }

std::string gf_float2string(float x) {
    return std::fmod(x, 1.0f) != 0.0f ? skh::format("{:.1f}", x) : skh::format("{:.0f}", x);
}

bool gf_equalsStarred(std::string_view name, std::string_view text) {
    return text.size() == name.size() + 1 && text.back() == '*' && text.substr(0, name.size()) == name;
}

bool gf_wildcardEqual(std::string_view text, std::string_view pattern) {
    return text == pattern.substr(0, pattern.find('*'));
}

bool gf_writeLines(const std::vector<std::string>& lines, const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return false;
    for (const auto& line : lines) out << line << '\n';
    out.flush();
    return static_cast<bool>(out);
}

void gf_readStreamLines(std::istream& in, std::vector<std::string>& lines) {
    std::string line;
    // A CR before the LF stays: the callers that read Windows text strip it.
    while (std::getline(in, line)) lines.push_back(std::move(line));
}

}  // namespace skh
