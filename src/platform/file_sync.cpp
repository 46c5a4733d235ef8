#include "platform/file_sync.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace skh::platform {

namespace fs = std::filesystem;

namespace {

std::atomic<int> g_syncFailure{0};
std::atomic<int> g_linkFailure{0};
std::atomic<DiskStepHook> g_stepHook{nullptr};

// The failures a test asked for; guards the paths below.
std::mutex g_failureMutex;
fs::path g_readFailurePath;    // guarded by g_failureMutex
int g_readFailure = 0;         // guarded by g_failureMutex
int g_readFailuresLeft = 0;    // guarded by g_failureMutex
fs::path g_renameFailurePath;  // guarded by g_failureMutex
int g_renameFailure = 0;       // guarded by g_failureMutex
fs::path g_statusFailurePath;  // guarded by g_failureMutex; empty: every path
int g_statusFailure = 0;       // guarded by g_failureMutex

int lf_readFailure(const fs::path& path) {
    const std::lock_guard lock(g_failureMutex);
    if (g_readFailuresLeft == 0 || g_readFailurePath.empty() || path != g_readFailurePath) return 0;
    --g_readFailuresLeft;
    return g_readFailure;
}

int lf_renameFailure(const fs::path& to) {
    const std::lock_guard lock(g_failureMutex);
    return !g_renameFailurePath.empty() && to == g_renameFailurePath ? g_renameFailure : 0;
}

int lf_statusFailure(const fs::path& path) {
    const std::lock_guard lock(g_failureMutex);
    return g_statusFailurePath.empty() || path == g_statusFailurePath ? g_statusFailure : 0;
}

void lf_stepDone() {
    if (const DiskStepHook hook = g_stepHook.load(); hook != nullptr) hook();
}

}  // namespace

int readFile(const fs::path& path, std::string& bytes) {
    bytes.clear();
    if (const int error = lf_readFailure(path); error != 0) return error;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return errno;
    char buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
    const int error = std::ferror(f) != 0 ? (errno != 0 ? errno : EIO) : 0;
    std::fclose(f);
    if (error != 0) bytes.clear();
    return error;
}

int syncFile(std::FILE* file) {
    if (const int error = g_syncFailure.load(std::memory_order_relaxed); error != 0) return error;
    if (::fsync(::fileno(file)) != 0) return errno;
    lf_stepDone();
    return 0;
}

int syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

int renameFile(const fs::path& from, const fs::path& to) {
    if (const int error = lf_renameFailure(to); error != 0) return error;
    if (::rename(from.c_str(), to.c_str()) != 0) return errno;
    lf_stepDone();
    return 0;
}

int linkFile(const fs::path& existing, const fs::path& link) {
    if (const int error = g_linkFailure.load(std::memory_order_relaxed); error != 0) return error;
    if (::link(existing.c_str(), link.c_str()) != 0) return errno;
    lf_stepDone();
    return 0;
}

int pathStatus(const fs::path& path, bool& exists) {
    exists = false;
    if (const int error = lf_statusFailure(path); error != 0) return error;
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        exists = true;
        return 0;
    }
    return errno == ENOENT ? 0 : errno;
}

void failFileSyncs(int error) { g_syncFailure.store(error, std::memory_order_relaxed); }

void failLinks(int error) { g_linkFailure.store(error, std::memory_order_relaxed); }

void failFileReads(const fs::path& path, int error, int times) {
    const std::lock_guard lock(g_failureMutex);
    g_readFailurePath = path;
    g_readFailure = error;
    g_readFailuresLeft = path.empty() ? 0 : times;
}

void failRenamesTo(const fs::path& to, int error) {
    const std::lock_guard lock(g_failureMutex);
    g_renameFailurePath = to;
    g_renameFailure = error;
}

void failStatuses(int error, const fs::path& path) {
    const std::lock_guard lock(g_failureMutex);
    g_statusFailurePath = path;
    g_statusFailure = error;
}

void setDiskStepHook(DiskStepHook hook) { g_stepHook.store(hook); }

}  // namespace skh::platform
