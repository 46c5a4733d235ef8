#pragma once
// Private-profile (INI) files read with the rules of the Windows profile
// calls: section and key names compare case-insensitively (ASCII), the first
// matching section and the first matching key win, names and values are
// trimmed and one pair of enclosing quotes is taken off a value. Lines that
// start with ';' are comments. A file may be UTF-16 (with its byte-order
// mark), UTF-8 with a mark, or 8-bit: 8-bit text that is not valid UTF-8 is
// read as Windows-1252. Every text is handed back in UTF-8.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skh::platform {

// The "name=value" lines of the section (comments and blank lines left out),
// or nullopt when the file cannot be read or has no such section.
std::optional<std::vector<std::string>> profileReadSection(const std::filesystem::path& file,
                                                           std::string_view section);

// The value of `key` in `section`, or nullopt when the file, the section or
// the key is missing.
std::optional<std::string> profileGetString(const std::filesystem::path& file, std::string_view section,
                                            std::string_view key);

// The file's text in UTF-8 by the rules above; nullopt when unreadable.
std::optional<std::string> profileFileText(const std::filesystem::path& file);

}  // namespace skh::platform
