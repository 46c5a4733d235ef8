#include <gtest/gtest.h>

#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/version.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

TEST(UserError, MessageCarriesTheNumberExceptFor99) {
    EXPECT_STREQ(UserErrorException(41, "Skyhaven_P3D must be run from the Skyhaven_P3D folder!").what(),
                 "41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!");
    EXPECT_STREQ(UserErrorException(99, "free text").what(), "free text");
    EXPECT_STREQ(UserErrorException(-1, "x").what(), "-1: x");
}

struct VersionCase {
    const char* text;
    VersionData expected;
    bool logs;
};

TEST(VersionData, ParsesTextAndJsonForms) {
    const VersionCase cases[] = {
        {"", {0, 0, 0}, false},
        {"11.3.0", {11, 3, 0}, false},
        {"11-3x0", {11, 3, 0}, false},  // the separators match any character
        {R"({"major":11,"minor":2,"patch":1})", {11, 2, 1}, false},
        {R"({"major":11})", {11, 0, 0}, false},
        {"11.3", {0, 0, 0}, false},  // a JSON number, not an object
        {"[1,2,3]", {0, 0, 0}, false},
        {"word", {0, 0, 0}, true},
        {"99999999999.1.2", {0, 0, 0}, true},
        {"1.2.99999999999", {0, 0, 0}, true},  // all or nothing: no half-read version
        {R"({"major":"11","minor":2})", {0, 0, 0}, true},
        {R"({"major":11,"minor":1.5})", {0, 0, 0}, true},
        {R"({"major":11,"minor":2,"patch":4294967296})", {0, 0, 0}, true},
    };
    for (const auto& c : cases) {
        test::ScopedLog log;
        const VersionData v(c.text);
        EXPECT_EQ(v, c.expected) << c.text;
        EXPECT_EQ(log.contains("VersionData exception: "), c.logs) << c.text;
    }
}

TEST(VersionData, PrintsAndOrders) {
    EXPECT_EQ(gf_versionToString(g_programVersion), "11.3.0");
    EXPECT_LT(VersionData("11.2.9"), VersionData("11.3.0"));
    EXPECT_LT(VersionData("10.99.99"), VersionData("11.0.0"));
    EXPECT_GT(VersionData("12.0.0"), g_programVersion);
}

}  // namespace
}  // namespace skh
