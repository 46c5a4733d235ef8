#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

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

// A damaged settings file may hold a version text of any length; it must be
// read, not crash the start-up.
TEST(VersionData, LongTextsAreReadLikeShortOnes) {
    test::ScopedLog log;
    EXPECT_EQ(VersionData(std::string(200000, '0') + "7.2.3"), VersionData(7, 2, 3));
    EXPECT_EQ(VersionData("7.2." + std::string(200000, '0') + "3"), VersionData(7, 2, 3));
    EXPECT_EQ(VersionData(std::string(200000, '1')), VersionData());  // matches, but the groups are too long
    EXPECT_TRUE(log.contains("parse error in version string"));
}

// The hand-made match gives the groups the backtracking regular expression
// would: checked against it on every short text of ones, dots and line ends
// (equal numbers then mean equal groups).
TEST(VersionData, MatchesLikeTheRegularExpressionOnShortTexts) {
    const std::string alphabet = "1.\n";
    const std::regex pattern("(\\d+).(\\d+).(\\d+)");
    std::string text;
    std::vector<std::size_t> letters;
    test::ScopedLog log;  // the texts that do not match go on to the JSON parser, which logs
    for (std::size_t length = 1; length <= 8; ++length) {
        letters.assign(length, 0);
        for (;;) {
            text.clear();
            for (const std::size_t l : letters) text += alphabet[l];
            std::smatch m;
            VersionData expected;
            if (std::regex_match(text, m, pattern)) {
                expected = VersionData(std::stoi(m[1].str()), std::stoi(m[2].str()), std::stoi(m[3].str()));
            }
            ASSERT_EQ(VersionData(text), expected) << '"' << text << '"';
            std::size_t i = 0;
            while (i < length && ++letters[i] == alphabet.size()) letters[i++] = 0;
            if (i == length) break;
        }
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
