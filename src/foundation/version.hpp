#pragma once
// The three-part version of the program and of each data set.
#include <compare>
#include <cstdint>
#include <string>

namespace skh {

struct VersionData {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int32_t patch = 0;

    VersionData() = default;
    // Parses "major.minor.patch" or a JSON object with "major", "minor" and
    // "patch". Never throws: a text that fails to parse logs and gives 0.0.0.
    explicit VersionData(const std::string& text);
    VersionData(std::int32_t ma, std::int32_t mi, std::int32_t pa) : major(ma), minor(mi), patch(pa) {}

    auto operator<=>(const VersionData&) const = default;
};

std::string gf_versionToString(const VersionData& v);

}  // namespace skh
