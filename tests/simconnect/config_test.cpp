// SimConnect.cfg and the registry: the profile rules, the three folders, the
// keys and their limits, the registry's port values.
#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.hpp"
#include "platform/profile.hpp"
#include "simconnect/config.hpp"
#include "support/sc_test_env.hpp"

namespace skh {
namespace {

using test::ScTestEnv;
using Folder = test::ScTestEnv::Folder;

TEST(ProfileReader, FollowsTheWindowsProfileRules) {
    test::TempDir dir;
    const auto file = dir / "x.cfg";
    test::writeFile(file,
                    "; comment\n"
                    "[Other]\nPort=1\n"
                    "[ simconnect ]\n"
                    "  PORT =  4711  \n"
                    "port=9999\n"
                    "Address=\"quoted value\"\n"
                    ";Protocol=IPv4\n"
                    "Empty=\n"
                    "NoEquals\r\n"
                    "[SimConnect]\nProtocol=IPv6\n");
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"SimConnect", "Port", "4711"},            // case-insensitive names, trimmed value, first key wins
        {"SIMCONNECT", "address", "quoted value"}, // one pair of quotes taken off
        {"SimConnect", "Protocol", std::nullopt},  // comment line; the second section is never read
        {"SimConnect", "Empty", ""},
        {"SimConnect", "NoEquals", std::nullopt},
        {"Other", "Port", "1"},
        {"Missing", "Port", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::profileGetString(file, c.section, c.key), c.expected) << c.section << "/" << c.key;
    }
    const auto lines = platform::profileReadSection(file, "SimConnect");
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::string>{"PORT=4711", "port=9999", "Address=quoted value", "Empty=",
                                                 "NoEquals"}));
    EXPECT_FALSE(platform::profileReadSection(dir / "none.cfg", "SimConnect"));
}

TEST(ProfileReader, ReadsUtf16And8BitFiles) {
    test::TempDir dir;
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("[SimConnect]\r\nAddress=h\xE9te\r\n")) {
        utf16.push_back(c);
        utf16.push_back('\0');
    }
    test::writeFile(dir / "le.cfg", utf16);
    EXPECT_EQ(platform::profileGetString(dir / "le.cfg", "SimConnect", "Address"), "h\xC3\xA9te");
    test::writeFile(dir / "ansi.cfg", "[SimConnect]\nAddress=h\xE9te\n");  // not UTF-8: Windows-1252
    EXPECT_EQ(platform::profileGetString(dir / "ansi.cfg", "SimConnect", "Address"), "h\xC3\xA9te");
    test::writeFile(dir / "utf8.cfg", "[SimConnect]\nAddress=h\xC3\xA9te\n");
    EXPECT_EQ(platform::profileGetString(dir / "utf8.cfg", "SimConnect", "Address"), "h\xC3\xA9te");
}

TEST(CodePage, Windows1252MapsTheHighBytes) {
    EXPECT_EQ(platform::cp1252ToUtf8("a\x80\xAE\xFF\x81"), "a\xE2\x82\xAC\xC2\xAE\xC3\xBF\xC2\x81");
    EXPECT_EQ(platform::utf8ToCp1252("Lockheed Martin\xC2\xAE \xE2\x82\xAC \xE4\xB8\x80"), "Lockheed Martin\xAE \x80 ?");
}

class ScConfigFiles : public ::testing::Test {
protected:
    ScConfig read(std::uint32_t index = 0) {
        ScConfig config;
        for (const auto& file : lf_scConfigFiles()) lf_scReadConfig(file, index, config);
        return config;
    }
    ScTestEnv env;
};

TEST_F(ScConfigFiles, DefaultsWithoutAnyFile) {
    const ScConfig c = read();
    EXPECT_EQ(c.start, ScFamily::Pipe);
    EXPECT_EQ(c.address, "");
    EXPECT_EQ(c.port, "");
    EXPECT_EQ(c.maxReceiveSize, 41088u);
    EXPECT_FALSE(c.disableNagle);
}

TEST_F(ScConfigFiles, LaterFoldersOverrideEarlierOnesKeyByKey) {
    env.writeConfig(Folder::PublicDocuments, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=100\n");
    env.writeConfig(Folder::Documents, "[SimConnect]\nDisableNagle=1\n");
    env.writeConfig(Folder::Current, "[SimConnect]\nPort=300\nAddress=\n");
    const ScConfig c = read();
    EXPECT_EQ(c.start, ScFamily::IPv4);
    EXPECT_EQ(c.address, "127.0.0.1");  // an empty value replaces nothing
    EXPECT_EQ(c.port, "300");
    EXPECT_TRUE(c.disableNagle);
}

TEST_F(ScConfigFiles, MaxReceiveSizeOnlyRisesAndStopsAtOneMebibyte) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"1000", 41088}, {"100000", 100000}, {"5000000", 1048576}, {"abc", 41088}, {"-5", 41088},
        {"99999999999999999999", 1048576},
    };
    for (const auto& [text, expected] : cases) {
        env.writeConfig(Folder::Current, std::string("[SimConnect]\nMaxReceiveSize=") + text + "\n");
        EXPECT_EQ(read().maxReceiveSize, expected) << text;
    }
}

TEST_F(ScConfigFiles, ProtocolKeysAndTheRegistryPortOfTheirFamily) {
    env.writeRegistryPorts("6006", "4004");
    // A port from an earlier file gives way to the registry's port of the new family...
    env.writeConfig(Folder::PublicDocuments, "[SimConnect]\nPort=1234\n");
    env.writeConfig(Folder::Documents, "[SimConnect]\nProtocol=ipv6\n");
    EXPECT_EQ(read().port, "6006");
    EXPECT_EQ(read().start, ScFamily::IPv6);
    // ...unless the same section names a port.
    env.writeConfig(Folder::Documents, "[SimConnect]\nPort=777\nProtocol=IPv4\n");
    EXPECT_EQ(read().port, "777");
    // An unknown protocol leaves the transport as it was.
    env.writeConfig(Folder::Current, "[SimConnect]\nProtocol=Carrier pigeon\n");
    EXPECT_EQ(read().start, ScFamily::IPv4);
    env.writeConfig(Folder::Current, "[SimConnect]\nProtocol=AUTO\n");
    EXPECT_EQ(read().start, ScFamily::Pipe);
}

TEST_F(ScConfigFiles, NumberedSectionsAreSeparate) {
    env.writeConfig(Folder::Documents, "[SimConnect]\nPort=1\n[SimConnect.2]\nPort=2\n[SimConnect.3]\n");
    EXPECT_EQ(read(0).port, "1");
    EXPECT_EQ(read(2).port, "2");
    const auto file = env.folder(Folder::Documents) / "SimConnect.cfg";
    EXPECT_TRUE(lf_scConfigSection(file, 2));
    EXPECT_FALSE(lf_scConfigSection(file, 3));  // an empty section is no section
    EXPECT_FALSE(lf_scConfigSection(file, 4));
    EXPECT_EQ(lf_scSectionName(12), "SimConnect.12");
}

TEST_F(ScConfigFiles, RegistryPortsOfAtMostNineCharacters) {
    const std::pair<const char*, const char*> cases[] = {
        {"500", "500"}, {"123456789", "123456789"}, {"1234567890", ""}, {"", ""},
    };
    for (const auto& [value, expected] : cases) {
        env.writeRegistryPorts(value, "");
        std::string port = "stale";
        EXPECT_EQ(lf_scReadRegistryPort(ScFamily::IPv6, port), *expected != '\0') << value;
        EXPECT_EQ(port, expected) << value;
        EXPECT_FALSE(lf_scReadRegistryPort(ScFamily::IPv4, port));
        EXPECT_EQ(port, "");
    }
}

TEST(ScAddress, AnotherMachineIsAnythingButTheLocalNames) {
    for (const char* local : {"", ".", "localhost", "127.0.0.1", "::1"}) EXPECT_FALSE(lf_scIsAnotherMachine(local));
    for (const char* remote : {"simpc", "192.168.1.10", "fe80::1", "LOCALHOST2", ".."})
        EXPECT_TRUE(lf_scIsAnotherMachine(remote)) << remote;
}

}  // namespace
}  // namespace skh
