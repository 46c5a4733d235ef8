#include "platform/single_instance.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/known_folders.hpp"

namespace skh::platform {

namespace {

std::filesystem::path lockFolder() {
    if (auto p = pathFromEnvironment("SKYHAVEN_LOCK_DIR")) return *p;
    if (auto p = pathFromEnvironment("XDG_RUNTIME_DIR")) return *p;
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec);
}

// "Local\$Skyhaven_P3D$" -> "Local_$Skyhaven_P3D$.lock"
std::string lockFileName(std::string_view mutexName) {
    std::string name(mutexName);
    for (char& c : name) {
        if (c == '\\' || c == '/') c = '_';
    }
    return name + ".lock";
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(std::string_view mutexName) : SingleInstanceLock(mutexName, lockFolder()) {}

SingleInstanceLock::SingleInstanceLock(std::string_view mutexName, const std::filesystem::path& folder) {
    const std::filesystem::path path = folder / lockFileName(mutexName);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (m_fd >= 0) ::close(m_fd);
}

}  // namespace skh::platform
