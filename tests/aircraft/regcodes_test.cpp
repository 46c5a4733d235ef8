#include <gtest/gtest.h>

#include "aircraft/regcodes.hpp"
#include "foundation/constants.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

using Regs = std::list<std::string>;

class Regcodes : public ::testing::Test {
protected:
    test::TempDir m_program;
    test::ScopedCwd m_cwd{m_program.path()};
    test::ScopedLog m_log;
    std::vector<AigRegcodeEntry> m_list;
};

TEST_F(Regcodes, RegcodeFileLines) {
    const auto file = m_program / "mine.txt";
    test::writeFile(file,
                    "Some Livery;PHBXA\r\n"
                    "Two Regs;PHBXB,PHBXA\n"
                    "Special Two;PHBXB, PHBXA;#\n"
                    "Short;AB\n"
                    "Both Short;AB,CD\n"
                    "Mixed;AB,PHBXC\n"
                    "Empty Second;\n"
                    "\n"
                    "Title Only\n"
                    "a;b;c;d\n"
                    "Not Hash;PHBXD,PHBXE;x\n");
    EXPECT_FALSE(gf_readRegcodeFiles(m_program.path(), m_list));
    ASSERT_EQ(m_list.size(), 6u);
    EXPECT_EQ(m_list[0].title, "Some Livery");
    EXPECT_EQ(m_list[0].regcodes, Regs{"PHBXA"});
    EXPECT_TRUE(m_list[0].special);  // a single registration is always special
    EXPECT_EQ(m_list[1].regcodes, (Regs{"PHBXA", "PHBXB"}));
    EXPECT_FALSE(m_list[1].special);
    EXPECT_TRUE(m_list[2].special);
    EXPECT_EQ(m_list[2].regcodes, (Regs{"PHBXA", "PHBXB"}));
    EXPECT_EQ(m_list[3].title, "Mixed");
    EXPECT_EQ(m_list[3].regcodes, Regs{"PHBXC"});
    EXPECT_EQ(m_list[4].title, "Title Only");
    EXPECT_TRUE(m_list[4].regcodes.empty());
    EXPECT_FALSE(m_list[5].special);
    const std::string log = m_log.text();
    EXPECT_NE(log.find("===> wrong regcode length 'AB' in " + file.string()), std::string::npos);
    EXPECT_NE(log.find("===> " + file.string() + " ; regs empty?"), std::string::npos);
    EXPECT_NE(log.find("===> " + file.string() + ": wrong format 'a;b;c;d'"), std::string::npos);
    EXPECT_NE(log.find("Processing regcodes file '" + file.string() + "'"), std::string::npos);
    EXPECT_NE(log.find("\n6 liveries\n"), std::string::npos);
}

TEST_F(Regcodes, FilesAreReadInNameOrderIgnoringCase) {
    test::writeFile(m_program / "b.TXT", "From B;PHBXB\n");
    test::writeFile(m_program / "A.txt", "From A;PHBXA\n");
    test::writeFile(m_program / "c.txt", "From C;PHBXC\n");
    test::writeFile(m_program / "d.csv", "Ignored;PHBXD\n");
    test::writeFile(m_program / "sub" / "e.txt", "Ignored;PHBXE\n");
    EXPECT_TRUE(gf_readRegcodeFiles(m_program.path(), m_list));
    ASSERT_EQ(m_list.size(), 3u);
    EXPECT_EQ(m_list[0].title, "From A");
    EXPECT_EQ(m_list[1].title, "From B");
    EXPECT_EQ(m_list[2].title, "From C");
}

TEST_F(Regcodes, MissingFolderIsAnError) {
    EXPECT_FALSE(gf_readRegcodeFiles(m_program / "missing", m_list));
    EXPECT_TRUE(m_log.contains("===> Error reading regcode files in "));
}

TEST_F(Regcodes, AigDataSet) {
    test::writeFile(g_aigRegcodesXml, R"(<?xml version="1.0"?>
<AIG-regcodes>
  <livery title="AIG A320 Lufthansa" reg="D-AIZB, D-AIZA,D-AIZA" special="no"/>
  <livery title="AIG A320 Lufthansa" reg="D-AIZC"/>
  <livery title="" reg="D-AIZD"/>
  <livery title="AIG B744 Retro" reg="D-ABVM" special="yes"/>
  <other title="Ignored"/>
  <livery title="AIG A320 Lufthansa" special="1"/>
</AIG-regcodes>)");
    EXPECT_FALSE(gf_readAigRegcodes(m_list));
    ASSERT_EQ(m_list.size(), 3u);
    EXPECT_EQ(m_list[0].regcodes, (Regs{"D-AIZA", "D-AIZB"}));
    EXPECT_FALSE(m_list[0].special);
    EXPECT_TRUE(m_list[1].special);
    EXPECT_EQ(m_list[2].title, "AIG A320 Lufthansa");  // the same title further apart is appended again
    EXPECT_TRUE(m_list[2].regcodes.empty());
    EXPECT_TRUE(m_list[2].special);
    EXPECT_TRUE(m_log.contains("===> SAME AS PREVIOUS title 'AIG A320 Lufthansa'"));
    EXPECT_TRUE(m_log.contains("3 liveries read from AIG-regcodes"));

    std::vector<AigRegcodeEntry> none;
    std::filesystem::remove(g_aigRegcodesXml);
    EXPECT_FALSE(gf_readAigRegcodes(none));
    EXPECT_TRUE(m_log.contains("===> Failed to load "));
}

}  // namespace
}  // namespace skh
