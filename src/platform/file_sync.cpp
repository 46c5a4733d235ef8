#include "platform/file_sync.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace skh::platform {

namespace {
std::atomic<int> g_syncFailure{0};
}  // namespace

int syncFile(std::FILE* file) {
    if (const int error = g_syncFailure.load(std::memory_order_relaxed); error != 0) return error;
    return ::fsync(::fileno(file)) == 0 ? 0 : errno;
}

int syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

void failFileSyncs(int error) { g_syncFailure.store(error, std::memory_order_relaxed); }

}  // namespace skh::platform
