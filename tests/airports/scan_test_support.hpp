#pragma once
// Small checks shared by the airport scan tests.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace skh::test {

// The names of a folder's entries; empty for a missing folder.
inline std::set<std::string> entryNames(const std::filesystem::path& folder) {
    std::set<std::string> out;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        out.insert(it->path().filename().string());
    }
    return out;
}

// The folder of the real BGL files of the shared test data, beside the
// source tree; empty when it is not there.
inline std::filesystem::path realBglFolder() {
    const auto folder = std::filesystem::path(SKYHAVEN_SOURCE_DIR) / "../shared/testdata/bgl";
    return std::filesystem::exists(folder / "KTST_v5.BGL") ? folder : std::filesystem::path();
}

inline bool anyLineHas(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& line : lines) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

}  // namespace skh::test
