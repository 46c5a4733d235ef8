#include "platform/profile.hpp"

#include <fstream>
#include <iterator>

#include "platform/codepage.hpp"
#include "platform/utf16.hpp"

namespace skh::platform {

namespace {

std::string_view trimView(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::optional<std::string> utf16File(const std::string& bytes, bool bigEndian) {
    std::u16string units;
    units.reserve((bytes.size() - 2) / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        units.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    if (units.empty()) return std::string();
    std::uint32_t error = 0;
    const int n = utf16ToUtf8(units, nullptr, 0, error);
    if (n == 0) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (utf16ToUtf8(units, out.data(), n, error) != n) return std::nullopt;
    return out;
}

// Calls `onLine(name, value, hasEquals, wholeLine)` for every line of the first section
// named `section`; false when there is no such section.
template <typename F>
bool forEachLine(const std::string& text, std::string_view section, F&& onLine) {
    bool inSection = false;
    bool found = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = trimView(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (found) return true;  // the first matching section is the one read
            const auto close = line.find(']');
            const std::string_view name = trimView(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            inSection = equalsNoCase(name, section);
            found = inSection;
            continue;
        }
        if (!inSection) continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            onLine(line, std::string_view(), false, line);
        } else {
            onLine(trimView(line.substr(0, eq)), trimView(line.substr(eq + 1)), true, line);
        }
        if (pos > text.size()) break;
    }
    return found;
}

std::string unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

}  // namespace

std::optional<std::string> profileFileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        return utf16File(bytes, false);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE && static_cast<unsigned char>(bytes[1]) == 0xFF)
        return utf16File(bytes, true);
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
    if (isValidUtf8(bytes)) return bytes;
    return cp1252ToUtf8(bytes);
}

std::optional<std::vector<std::string>> profileReadSection(const std::filesystem::path& file,
                                                           std::string_view section) {
    const auto text = profileFileText(file);
    if (!text) return std::nullopt;
    std::vector<std::string> lines;
    const bool found = forEachLine(*text, section, [&](std::string_view name, std::string_view value,
                                                       bool hasEquals, std::string_view whole) {
        if (!hasEquals) {
            lines.emplace_back(whole);
        } else {
            lines.push_back(std::string(name) + "=" + unquote(value));
        }
    });
    if (!found) return std::nullopt;
    return lines;
}

std::optional<std::string> profileGetString(const std::filesystem::path& file, std::string_view section,
                                            std::string_view key) {
    const auto text = profileFileText(file);
    if (!text) return std::nullopt;
    std::optional<std::string> result;
    forEachLine(*text, section, [&](std::string_view name, std::string_view value, bool hasEquals, std::string_view) {
        if (!result && hasEquals && equalsNoCase(name, key)) result = unquote(value);
    });
    return result;
}

}  // namespace skh::platform
