#pragma once
// Test helpers: temporary folders, a scoped current folder, scoped
// environment variables, file helpers, a scoped log and a failing disk.
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace skh::test {

// A fresh folder under the system temp folder (or `base`), removed with
// everything in it.
class TempDir {
public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path());
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Changes the current folder for the scope.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path& folder);
    ~ScopedCwd();

private:
    std::filesystem::path m_previous;
};

// Sets (or with nullopt unsets) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

// Opens the log in a folder of its own for the scope and closes it after.
class ScopedLog {
public:
    ScopedLog();
    ~ScopedLog();
    const std::filesystem::path& path() const { return m_path; }
    std::vector<std::string> lines() const;
    std::string text() const;
    bool contains(const std::string& part) const;

private:
    TempDir m_dir;
    std::filesystem::path m_path;
};

// How long a wait for an event may take: long enough for a loaded 2-core
// machine, and free when things work, since the wait ends with the event.
inline constexpr std::chrono::seconds kEventWait{20};

// Polls a condition every millisecond until it holds or the time is up.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kEventWait);

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);
std::vector<std::string> readLines(const std::filesystem::path& path);
// The names of a folder's entries; empty for a missing folder.
std::set<std::string> entryNames(const std::filesystem::path& folder);

// Every flush of a written file to the disk fails with `error` for the
// scope, as on a disk that is full (ENOSPC) or failing (EIO).
class FailingDiskFlushes {
public:
    explicit FailingDiskFlushes(int error);
    ~FailingDiskFlushes();
    FailingDiskFlushes(const FailingDiskFlushes&) = delete;
    FailingDiskFlushes& operator=(const FailingDiskFlushes&) = delete;
};

}  // namespace skh::test
