#include "platform/file_sync.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace skh::platform {

int syncFile(std::FILE* file) { return ::fsync(::fileno(file)) == 0 ? 0 : errno; }

int syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

}  // namespace skh::platform
