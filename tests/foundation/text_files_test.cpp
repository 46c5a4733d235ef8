#include "foundation/text_files.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/main_window_state.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string utf16le(const std::u16string& text, bool bom = true) {
    std::string out = bom ? "\xFF\xFE" : "";
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// The descriptors this process holds open.
std::size_t openDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

std::string utf16be(const std::u16string& text) {
    std::string out = "\xFE\xFF";
    for (char16_t c : text) {
        out += static_cast<char>(c >> 8);
        out += static_cast<char>(c & 0xFF);
    }
    return out;
}

struct CharsetCase {
    const char* name;
    std::string bytes;
    std::int32_t charset;
    Lines lines;
};

TEST(TextFiles, DetectsAndReadsEveryCharset) {
    test::TempDir dir;
    const CharsetCase cases[] = {
        {"one byte", "a", CharsetNoneFound, {}},
        {"bom only", "\xEF\xBB\xBF", CharsetUtf8WithBom, {""}},
        {"utf8 bom", "\xEF\xBB\xBFtitle=Z\xC3\xBCrich\r\nx\n", CharsetUtf8WithBom, {"title=Z\xC3\xBCrich", "x"}},
        {"utf8", "[fltsim.0]\r\ntitle=A\r\n", CharsetUtf8WithoutBom, {"[fltsim.0]", "title=A"}},
        {"ansi", "title=Z\xFCrich\nb", CharsetAnsi, {"title=Z\xFCrich", "b"}},
        {"utf16le", utf16le(u"a=\u00E9\r\nb\n"), CharsetUnicode, {"a=\xC3\xA9\r", "b"}},
        {"utf16be", utf16be(u"x\ny"), CharsetUnicodeBigEndian, {"x", "y"}},
    };
    for (const auto& c : cases) {
        const fs::path path = dir / (std::string(c.name) + ".cfg");
        test::writeFile(path, c.bytes);
        EXPECT_EQ(gf_detectCharset(path), c.charset) << c.name;
        Lines lines;
        EXPECT_EQ(gf_readExtTextFileToStringVector(path, lines), c.charset != CharsetNoneFound) << c.name;
        EXPECT_EQ(lines, c.lines) << c.name;
    }
}

TEST(TextFiles, MultiByteCharacterCutByTheDetectionWindowIsAnsi) {
    test::TempDir dir;
    std::string bytes(1026, 'a');
    bytes += "\xC3\xA9";  // starts at byte 1027, ends after it
    test::writeFile(dir / "f.txt", bytes);
    EXPECT_EQ(gf_detectCharset(dir / "f.txt"), CharsetAnsi);
    Lines lines;
    ASSERT_TRUE(gf_readExtTextFileToStringVector(dir / "f.txt", lines));
    EXPECT_EQ(lines, Lines{bytes});
}

TEST(TextFiles, BadUtf16EndsTheReadWithAStatusMessage) {
    test::TempDir dir;
    test::ScopedLog log;
    std::u16string text = u"ok\n";
    text += static_cast<char16_t>(0xD800);  // lone surrogate
    text += u"x\n";
    test::writeFile(dir / "bad.cfg", utf16le(text));
    Lines lines;
    EXPECT_FALSE(gf_readExtTextFileToStringVector(dir / "bad.cfg", lines));
    EXPECT_EQ(lines, Lines{"ok"});  // lines before the failure stay
    EXPECT_EQ(gf_statusText(), "conversion from error from utf16 to utf8, code: 1113");

    test::writeFile(dir / "odd.cfg", utf16le(u"ab") + "c");
    lines.clear();
    EXPECT_TRUE(gf_readExtTextFileToStringVector(dir / "odd.cfg", lines));
    EXPECT_EQ(lines, Lines{"ab"});

    EXPECT_FALSE(gf_readTextFileLines(7, dir / "odd.cfg", lines));
    EXPECT_NE(gf_statusText().find("has unknown charset"), std::string::npos);
}

TEST(TextFiles, MissingFilesAnswerNoneFound) {
    test::TempDir dir;
    test::ScopedLog log;
    EXPECT_EQ(gf_detectCharset(dir / "nope.cfg"), CharsetNoneFound);
    EXPECT_TRUE(log.contains("Cannot open file "));
    Lines lines{"kept"};
    EXPECT_FALSE(gf_readTextFileLines(CharsetAnsi, dir / "nope.cfg", lines));
    EXPECT_EQ(lines, Lines{"kept"});
    LinesFile file{dir / "nope.cfg", {"old"}};
    EXPECT_TRUE(gf_readLines(file, 10).empty());
}

TEST(TextFiles, HalfHourSets) {
    test::ScopedLog log;
    const std::uint64_t bits = gf_hours2bitset("0,1,47");
    EXPECT_EQ(bits, (1ull << 0) | (1ull << 1) | (1ull << 47));
    EXPECT_EQ(gf_joinList(bits), "0,1,47");
    EXPECT_EQ(gf_joinList(0), "");
    EXPECT_EQ(gf_hours2bitset(""), 0u);
    EXPECT_EQ(gf_hours2bitset("48,-1,12x"), 1ull << 12);
    EXPECT_EQ(gf_hours2bitset("3,,5"), (1ull << 3) | (1ull << 5));
    EXPECT_EQ(gf_hours2bitset("99999999999,7"), 1ull << 7);
    const std::string text = log.text();
    EXPECT_NE(text.find("===> gf_hours2bitset invalid hour '48' in 48,-1,12x"), std::string::npos);
    EXPECT_NE(text.find("invalid hour '-1'"), std::string::npos);
    EXPECT_NE(text.find("invalid hour '' in 3,,5"), std::string::npos);
}

TEST(TextFiles, ListAndBannerTexts) {
    std::string list = " a , b,c ";
    gf_normaliseList(list);
    EXPECT_EQ(list, "a,b,c");
    std::string clean = "a,b";
    gf_normaliseList(clean);
    EXPECT_EQ(clean, "a,b");

    EXPECT_EQ(gf_markedText(70, 0, false, false, ""), std::string(70, '*'));
    EXPECT_EQ(gf_markedText(70, 0, true, true, "0123456789"),
              "\n" + std::string(34, '*') + " 0123456789 " + std::string(34, '*') + "\n");
    EXPECT_EQ(gf_markedText(9, 0, false, false, "long title"), "long title");
    EXPECT_EQ(gf_markedText(69, 0, false, false, ""), std::string(70, '*'));

    EXPECT_EQ(gf_percent(1, 3), 33);
    EXPECT_EQ(gf_percent(2, 3), 67);
    EXPECT_EQ(gf_percent(5, 0), 0);

    EXPECT_EQ(gf_regexSplit("b, a,b ,c"), (std::list<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(gf_regexSplit("").empty());
    EXPECT_EQ(gf_extractPath("x<Path>D:\\AI</Path>y"), "D:\\AI");
    EXPECT_EQ(gf_extractPath("</Path><Path>"), "");
    EXPECT_TRUE(gf_equalsUpper("B738", "b738"));
    EXPECT_FALSE(gf_equalsUpper("B738", "b7388"));
}

TEST(TextFiles, FolderHelpers) {
    test::TempDir dir;
    test::ScopedLog log;
    for (const char* name : {"a.xml", "B.XML", "c.Xml", "d.xml.bak"}) test::writeFile(dir / name, "x");
    fs::create_directory(dir / "sub.xml");
    EXPECT_EQ(gf_listXmlFiles(dir.path()), (std::vector<std::string>{"B", "a", "c"}));
    EXPECT_EQ(gf_countFolderEntries(dir.path()), 5u);
    EXPECT_EQ(gf_countFolderEntries(dir / "missing"), 0u);

    test::writeFile(dir / "sub.xml" / "inner", "x");
    EXPECT_THROW(gf_cleanFolder(dir.path()), UserErrorException);
    fs::remove(dir / "sub.xml" / "inner");
    gf_cleanFolder(dir.path());
    EXPECT_EQ(gf_countFolderEntries(dir.path()), 0u);
    gf_cleanFolder(dir / "missing");
    EXPECT_TRUE(log.contains("Cleaning folder: "));
}

TEST(TextFiles, XmlSavesAreAtomicAndAttributesDefaultToEmpty) {
    test::TempDir dir;
    test::ScopedLog log;
    pugi::xml_document doc;
    doc.append_child("root").append_attribute("a").set_value("1");
    EXPECT_TRUE(gf_saveXml(doc, dir / "out.xml"));
    EXPECT_NE(test::readFile(dir / "out.xml").find("<root a=\"1\""), std::string::npos);
    EXPECT_FALSE(gf_saveXml(doc, dir / "missing" / "out.xml"));
    EXPECT_TRUE(log.contains("could not save to '"));
    EXPECT_EQ(gf_countFolderEntries(dir.path()), 1u);  // no temporary file left behind

    EXPECT_EQ(gf_attrString(doc.child("root"), "a"), "1");
    EXPECT_EQ(gf_attrString(doc.child("root"), "b"), "");
    EXPECT_EQ(gf_attrString(pugi::xml_node(), "a"), "");
}

TEST(TextFiles, AFailedAtomicWriteLogsWhyAndLeavesNothingBehind) {
    test::TempDir dir;
    test::ScopedLog log;
    const std::size_t descriptors = openDescriptors();
    // A folder in the target's place stops the rename even for root, who
    // may write into read-only folders.
    fs::create_directory(dir / "taken.xml");
    test::writeFile(dir / "kept.xml", "old");
    struct Case {
        const char* what;
        fs::path target;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"a folder in the way", dir / "taken.xml", "cannot replace it: " + std::generic_category().message(EISDIR)},
        {"no such folder", dir / "missing" / "out.xml", "cannot create " + (dir / "missing" / "out.xml").string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(gf_writeFileAtomically(c.target, "new"));
        EXPECT_TRUE(log.contains(skh::format("Writing '{}' failed: {}", c.target.string(), c.reason))) << log.text();
    }
    EXPECT_TRUE(fs::is_directory(dir / "taken.xml"));
    EXPECT_EQ(gf_countFolderEntries(dir.path()), 2u);  // no temporary file left behind

    EXPECT_TRUE(gf_writeFileAtomically(dir / "kept.xml", "new"));
    EXPECT_EQ(test::readFile(dir / "kept.xml"), "new");
    EXPECT_EQ(gf_countFolderEntries(dir.path()), 2u);

    // Nor does any write keep a descriptor: saves go on for hours.
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(gf_writeFileAtomically(dir / "kept.xml", std::to_string(i)));
    EXPECT_EQ(openDescriptors(), descriptors);
}

}  // namespace
}  // namespace skh
