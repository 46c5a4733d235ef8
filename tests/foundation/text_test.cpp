#include <gtest/gtest.h>

#include <sstream>

#include "foundation/text.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

using Items = std::vector<std::string>;

TEST(Text, SplitTrimsEveryPieceAndKeepsEmptyOnes) {
    EXPECT_EQ(gf_split("a, b,,c ,", ','), (Items{"a", "b", "", "c", ""}));
    EXPECT_EQ(gf_split("", ','), Items{});
    EXPECT_EQ(gf_split(" \t ", ','), Items{""});
    EXPECT_EQ(gf_splitCommaTrim(" x ;y "), Items{"x ;y"});
    EXPECT_EQ(gf_split("a|b", '|'), (Items{"a", "b"}));
}

TEST(Text, JoinComma) {
    EXPECT_EQ(gf_joinComma({}), "");
    EXPECT_EQ(gf_joinComma({"a"}), "a");
    EXPECT_EQ(gf_joinComma({"a", "", "b"}), "a,,b");
}

TEST(Text, TrimAndCaseOnAnyByte) {
    EXPECT_EQ(gf_trim(" \t\r\nabc \n"), "abc");
    EXPECT_EQ(gf_trim(" \r\n"), "");
    // Bytes above 0x7F pass through the case functions unchanged.
    const std::string latin = "\xC3\xA9t\xE9";
    EXPECT_EQ(gf_upper(latin), "\xC3\xA9T\xE9");
    EXPECT_EQ(gf_lower("ABC\xFF"), "abc\xFF");
    EXPECT_FALSE(gf_isAsciiAlnum('\xE9'));
}

TEST(Text, ContainsForms) {
    EXPECT_TRUE(gf_containsNoCase("Boeing 737", "BOEING"));
    EXPECT_TRUE(gf_containsNoCase("x", ""));
    EXPECT_FALSE(gf_containsNoCase("abc", "abcd"));
    EXPECT_TRUE(gf_contains("abc", ""));
    EXPECT_FALSE(gf_contains("ab", "abc"));
    EXPECT_TRUE(gf_contains("xabcx", "abc"));
    EXPECT_FALSE(gf_containsChar("", 'a'));
    EXPECT_TRUE(gf_containsChar("a*", '*'));
}

TEST(Text, WildcardComparesWithThePatternCutAtItsStar) {
    EXPECT_TRUE(gf_wildcardEqual("DLH17", "DLH17*"));
    EXPECT_TRUE(gf_wildcardEqual("DLH17", "DLH17"));
    EXPECT_TRUE(gf_wildcardEqual("", "*DLH"));
    EXPECT_FALSE(gf_wildcardEqual("DLH17*", "DLH17*"));
    EXPECT_FALSE(gf_wildcardEqual("DLH1", "DLH17*"));
    EXPECT_FALSE(gf_wildcardEqual("DLH170", "DLH17*"));
}

TEST(Text, PluralEndings) {
    EXPECT_EQ(gf_plural(0), "s");
    EXPECT_EQ(gf_plural(1), "");
    EXPECT_EQ(gf_plural(2), "s");
    EXPECT_EQ(gf_plural(-3), "");
    EXPECT_EQ(gf_plural32(1), "");
    EXPECT_EQ(gf_pluralUnsigned(0), "s");
    EXPECT_EQ(gf_pluralUnsigned(1), "");
}

TEST(Text, Float2StringAndStarredNames) {
    EXPECT_EQ(gf_float2string(3.0f), "3");
    EXPECT_EQ(gf_float2string(2.7f), "2.7");
    EXPECT_EQ(gf_float2string(-0.5f), "-0.5");
    EXPECT_TRUE(gf_equalsStarred("DLH123", "DLH123*"));
    EXPECT_FALSE(gf_equalsStarred("DLH123", "DLH123"));
    EXPECT_FALSE(gf_equalsStarred("DLH123", "DLH1234"));
    EXPECT_FALSE(gf_equalsStarred("DLH123", "DLH123**"));
}

TEST(Text, WriteAndReadLines) {
    test::TempDir dir;
    const auto path = dir / "lines.txt";
    ASSERT_TRUE(gf_writeLines({"one", "", "three"}, path));
    EXPECT_EQ(test::readFile(path), "one\n\nthree\n");
    EXPECT_FALSE(gf_writeLines({"x"}, dir / "no-such-folder" / "f.txt"));

    std::istringstream in("a\r\nb\nc");
    Items lines{"kept"};
    gf_readStreamLines(in, lines);
    EXPECT_EQ(lines, (Items{"kept", "a\r", "b", "c"}));  // the CR before the LF stays
}

}  // namespace
}  // namespace skh
