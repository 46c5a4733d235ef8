#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_sync.hpp"
#include "platform/known_folders.hpp"
#include "platform/registry.hpp"
#include "platform/single_instance.hpp"
#include "platform/utf16.hpp"
#include "platform/win_path.hpp"
#include "platform/window.hpp"
#include "support/test_env.hpp"

namespace skh::platform {
namespace {

std::u16string toWide(std::string_view s, std::uint32_t& error) {
    const int n = utf8ToUtf16(s, nullptr, 0, error);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    if (n > 0) utf8ToUtf16(s, out.data(), n, error);
    return out;
}

// The system's own refusal to flush is the caller's error, as much as the
// test seam's: a pipe cannot be synced to a disk.
TEST(FileSync, AFlushTheSystemRefusesIsAnError) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::FILE* pipe = ::fdopen(ends[1], "w");
    ASSERT_NE(pipe, nullptr);
    EXPECT_EQ(syncFile(pipe), EINVAL);
    std::fclose(pipe);
    ::close(ends[0]);

    test::TempDir dir;
    const auto path = dir.path() / "file";
    test::writeFile(path, "x");
    std::FILE* file = std::fopen(path.c_str(), "r+");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(syncFile(file), 0);
    std::fclose(file);
}

// Only a name with nothing there is absent: every other failure to open, to
// read to the end or to read a status is the system's error, with nothing
// read, so that no caller takes it for a missing or an empty file.
TEST(FileSync, AbsenceIsToldFromAReadOrStatusThatFails) {
    test::TempDir dir;
    test::writeFile(dir / "file", "bytes");
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::create_symlink("loop", dir / "loop");
    std::filesystem::create_symlink("nowhere", dir / "dangling");
    struct Case {
        const char* name;
        int readError;
        std::string bytes;
        int statusError;
        bool exists;
    };
    const Case cases[] = {
        {"file", 0, "bytes", 0, true},
        {"missing", ENOENT, "", 0, false},
        {"loop", ELOOP, "", 0, true},       // fails at the open
        {"folder", EISDIR, "", 0, true},    // opens, fails at the read
        {"dangling", ENOENT, "", 0, true},  // a link is something there
        {"file/child", ENOTDIR, "", ENOTDIR, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = "before";
        EXPECT_EQ(readFile(dir / c.name, bytes), c.readError);
        EXPECT_EQ(bytes, c.bytes);
        bool exists = !c.exists;
        EXPECT_EQ(pathStatus(dir / c.name, exists), c.statusError);
        EXPECT_EQ(exists, c.exists);
    }
    // The seam: one path's status, or every one.
    bool exists = true;
    failStatuses(EIO, dir / "file");
    EXPECT_EQ(pathStatus(dir / "file", exists), EIO);
    EXPECT_FALSE(exists);
    EXPECT_EQ(pathStatus(dir / "folder", exists), 0);
    failStatuses(EACCES);
    EXPECT_EQ(pathStatus(dir / "folder", exists), EACCES);
    failStatuses(0);
    EXPECT_EQ(pathStatus(dir / "folder", exists), 0);
    EXPECT_TRUE(exists);
}

TEST(Utf16, StrictUtf8Decoding) {
    struct Case {
        std::string in;
        bool ok;
        std::u16string out;
    };
    const Case cases[] = {
        {"abc", true, u"abc"},
        {"\xC3\xA9", true, u"\u00E9"},
        {"\xE2\x82\xAC", true, u"\u20AC"},
        {"\xF0\x9F\x98\x80", true, u"\U0001F600"},
        {"\xFF", false, u""},
        {"\xC3", false, u""},              // truncated
        {"\xC0\xAF", false, u""},          // overlong
        {"\xE0\x80\xAF", false, u""},      // overlong
        {"\xED\xA0\x80", false, u""},      // encoded surrogate
        {"\xF4\x90\x80\x80", false, u""},  // above U+10FFFF
        {"\x80", false, u""},              // continuation in lead position
        {"a\xE2\x82", false, u""},
    };
    for (const auto& c : cases) {
        std::uint32_t error = 0;
        const std::u16string out = toWide(c.in, error);
        if (c.ok) {
            EXPECT_EQ(out, c.out);
        } else {
            EXPECT_TRUE(out.empty());
            EXPECT_EQ(error, kErrorNoUnicodeTranslation);
        }
    }
}

TEST(Utf16, StrictUtf16Encoding) {
    std::uint32_t error = 0;
    char buf[16];
    EXPECT_EQ(utf16ToUtf8(u"\U0001F600", buf, sizeof buf, error), 4);
    EXPECT_EQ(std::string(buf, 4), "\xF0\x9F\x98\x80");
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(utf16ToUtf8(std::u16string_view(lone, 3), nullptr, 0, error), 0);
    EXPECT_EQ(error, kErrorNoUnicodeTranslation);
    const char16_t trailing[] = {0xDC00};
    error = 0;
    EXPECT_EQ(utf16ToUtf8(std::u16string_view(trailing, 1), nullptr, 0, error), 0);
    EXPECT_EQ(error, kErrorNoUnicodeTranslation);
    error = 0;
    EXPECT_EQ(utf16ToUtf8(u"abcdef", buf, 3, error), 0);
    EXPECT_EQ(error, kErrorInsufficientBuffer);
}

TEST(Registry, ReadsKeysAndValuesFromTheStandInFile) {
    test::TempDir dir;
    test::writeFile(dir / "reg.ini",
                    "; registry stand-in\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n"
                    "SetupPath=D:\\Sims\\Prepar3D v5\\\n"
                    "Quoted = \"  spaced  \"\n"
                    "[HKEY_CURRENT_USER\\Empty]\n");
    test::ScopedEnv env("SKYHAVEN_REGISTRY", (dir / "reg.ini").string());

    RegHandle key = 0;
    ASSERT_EQ(regOpenKey(kHkeyLocalMachine, u"software\\lockheed martin\\prepar3d V5", 0, key), kErrorSuccess);
    std::uint32_t size = 0;
    ASSERT_EQ(regGetStringValue(key, u"setuppath", nullptr, size), kErrorSuccess);
    std::u16string value(size / 2, u'\0');
    ASSERT_EQ(regGetStringValue(key, u"SetupPath", value.data(), size), kErrorSuccess);
    value.resize(size / 2 - 1);
    EXPECT_EQ(value, u"D:\\Sims\\Prepar3D v5\\");
    std::uint32_t small = 2;
    char16_t tiny[1];
    EXPECT_EQ(regGetStringValue(key, u"SetupPath", tiny, small), kErrorMoreData);
    ASSERT_EQ(regGetStringValue(key, u"Quoted", nullptr, size), kErrorSuccess);
    EXPECT_EQ(size, 11u * 2);
    EXPECT_EQ(regGetStringValue(key, u"Missing", nullptr, size), kErrorFileNotFound);
    EXPECT_EQ(regCloseKey(key), kErrorSuccess);
    EXPECT_EQ(regCloseKey(key), kErrorInvalidHandle);

    EXPECT_EQ(regOpenKey(kHkeyCurrentUser, u"Empty", 0, key), kErrorSuccess);
    regCloseKey(key);
    EXPECT_EQ(regOpenKey(kHkeyLocalMachine, u"SOFTWARE\\Lockheed Martin\\Prepar3D v6", 0, key), kErrorFileNotFound);
    EXPECT_TRUE(regIsPredefinedKey(kHkeyLocalMachine));
    EXPECT_EQ(regCloseKey(kHkeyLocalMachine), kErrorSuccess);
}

TEST(Registry, NoFileMeansNoKeys) {
    test::ScopedEnv env("SKYHAVEN_REGISTRY", std::nullopt);
    RegHandle key = 0;
    EXPECT_EQ(regOpenKey(kHkeyLocalMachine, u"SOFTWARE", 0, key), kErrorFileNotFound);
    EXPECT_EQ(key, 0u);
}

TEST(KnownFolders, ComeFromTheEnvironment) {
    {
        test::ScopedEnv a("APPDATA", "/x/appdata");
        EXPECT_EQ(roamingAppDataFolder().value(), "/x/appdata");
    }
    {
        test::ScopedEnv a("APPDATA", std::nullopt);
        test::ScopedEnv x("XDG_CONFIG_HOME", std::nullopt);
        test::ScopedEnv h("HOME", "/home/pilot");
        EXPECT_EQ(roamingAppDataFolder().value(), "/home/pilot/.config");
        test::ScopedEnv d("SKYHAVEN_DOCUMENTS", std::nullopt);
        EXPECT_EQ(documentsFolder().value(), "/home/pilot/Documents");
    }
    {
        test::ScopedEnv a("APPDATA", std::nullopt);
        test::ScopedEnv x("XDG_CONFIG_HOME", std::nullopt);
        test::ScopedEnv h("HOME", std::nullopt);
        EXPECT_FALSE(roamingAppDataFolder().has_value());
    }
    test::ScopedEnv p("SKYHAVEN_PUBLIC_DOCUMENTS", std::nullopt);
    EXPECT_FALSE(publicDocumentsFolder().has_value());
}

// The lock stands for the program's one copy: another holder is a second
// copy; any other failure is the caller's to report, with the file and the
// reason.
TEST(SingleInstanceLock, TellsASecondCopyFromALockThatCannotBeTaken) {
    test::TempDir dir;
    const std::string mutex = "Local\\$LockTest$";
    const std::string file = "Local_$LockTest$.lock";
    test::writeFile(dir / "a file", "");
    std::filesystem::create_directories(dir / "lock is a folder" / file);
    std::filesystem::create_directories(dir / "held");
    const SingleInstanceLock holder(mutex, dir / "held");
    ASSERT_TRUE(holder.acquired());
    struct Case {
        const char* folder;
        bool acquired;
        bool heldElsewhere;
        int error;
    };
    const Case cases[] = {
        {"free", true, false, 0},
        {"held", false, true, 0},
        {"missing", false, false, ENOENT},
        {"a file", false, false, ENOTDIR},
        {"lock is a folder", false, false, EISDIR},
    };
    std::filesystem::create_directories(dir / "free");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const SingleInstanceLock lock(mutex, dir / c.folder);
        EXPECT_EQ(lock.acquired(), c.acquired);
        EXPECT_EQ(lock.heldElsewhere(), c.heldElsewhere);
        EXPECT_EQ(lock.error(), c.error);
        EXPECT_EQ(lock.path(), dir / c.folder / file);
    }
}

// In the temp folder every user shares, the lock file is the user's own;
// in a folder of the user's it keeps the mutex's name alone.
TEST(SingleInstanceLock, TheSharedTempFolderHoldsOneLockPerUser) {
    test::TempDir dir;
    const std::string mutex = "Local\\$LockTest$";
    const std::string own = "Local_$LockTest$.lock";
    const std::string perUser = "Local_$LockTest$." + std::to_string(::getuid()) + ".lock";
    test::ScopedEnv lockDir("SKYHAVEN_LOCK_DIR", std::nullopt);
    test::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", std::nullopt);
    test::ScopedEnv temp("TMPDIR", (dir / "temp").string());
    {
        const SingleInstanceLock lock(mutex);
        EXPECT_FALSE(lock.acquired());  // the temp folder is missing: the open says so
        EXPECT_EQ(lock.error(), ENOENT);
        EXPECT_EQ(lock.path(), dir / "temp" / perUser);
    }
    std::filesystem::create_directories(dir / "temp");
    {
        const SingleInstanceLock lock(mutex);
        EXPECT_TRUE(lock.acquired());
        EXPECT_EQ(lock.path(), dir / "temp" / perUser);
        EXPECT_TRUE(std::filesystem::exists(dir / "temp" / perUser));
        const SingleInstanceLock second(mutex);
        EXPECT_TRUE(second.heldElsewhere());
    }
    for (const char* variable : {"XDG_RUNTIME_DIR", "SKYHAVEN_LOCK_DIR"}) {
        SCOPED_TRACE(variable);
        test::ScopedEnv folder(variable, dir.path().string());
        const SingleInstanceLock lock(mutex);
        EXPECT_TRUE(lock.acquired());
        EXPECT_EQ(lock.path(), dir / own);
    }
}

TEST(WinPath, MapsBackslashesAndDriveLetters) {
    {
        test::ScopedEnv drives("SKYHAVEN_DRIVES", "/mnt/drives");
        EXPECT_EQ(mapWindowsPath("D:\\Addons\\AIG"), "/mnt/drives/d/Addons/AIG");
        EXPECT_EQ(mapWindowsPath("c:\\"), "/mnt/drives/c");
        EXPECT_EQ(mapWindowsPath("relative\\path"), "relative/path");
    }
    test::ScopedEnv drives("SKYHAVEN_DRIVES", std::nullopt);
    EXPECT_EQ(mapWindowsPath("D:\\Addons"), "D:/Addons");
}

TEST(Window, ControlsAreDataKeyedById) {
    destroyAllControls();
    EXPECT_EQ(getDlgItem(32818), 0u);
    const WindowHandle combo = createControl(ControlKind::ComboBox, 32818, u"", 0, 231, 60, 200);
    EXPECT_EQ(getDlgItem(32818), combo);
    EXPECT_EQ(comboAddString(combo, u"Alpha"), 0);
    EXPECT_EQ(comboAddString(combo, u"beta"), 1);
    EXPECT_EQ(comboSelectString(combo, -1, u"BE"), 1);
    EXPECT_EQ(comboSelectString(combo, -1, u"zz"), kComboError);
    EXPECT_EQ(comboGetCurSel(combo), 1);  // a failed search keeps the selection
    EXPECT_EQ(comboSetCurSel(combo, 5), kComboError);
    EXPECT_EQ(comboGetCurSel(combo), -1);
    comboResetContent(combo);
    ControlState state;
    ASSERT_TRUE(controlState(combo, state));
    EXPECT_TRUE(state.items.empty());
    EXPECT_EQ(comboAddString(0, u"x"), kComboError);
    destroyAllControls();
    EXPECT_FALSE(controlState(combo, state));
}

}  // namespace
}  // namespace skh::platform
