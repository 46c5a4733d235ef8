#pragma once
// Small checks shared by the airport scan tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_env.hpp"

namespace skh::test {

// The folder of the real BGL files of the shared test data, which lies
// beside the project's folder.
inline std::filesystem::path realBglFolder() {
    return (std::filesystem::path(SKYHAVEN_SOURCE_DIR) / "../shared/testdata/bgl").lexically_normal();
}

// Whether the real BGL files are there. CI always has them and says so
// (SKYHAVEN_TESTDATA_REQUIRED): there a missing folder is a failure; elsewhere
// the caller skips.
inline bool realBglFilesPresent() {
    if (std::filesystem::exists(realBglFolder() / "KTST_v5.BGL")) return true;
    if (std::getenv("SKYHAVEN_TESTDATA_REQUIRED") != nullptr) ADD_FAILURE() << realBglFolder() << " is missing";
    return false;
}

inline bool anyLineHas(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& line : lines) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

}  // namespace skh::test
