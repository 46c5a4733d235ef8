#include "platform/single_instance.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/known_folders.hpp"

namespace skh::platform {

namespace {

struct LockFolder {
    std::filesystem::path path;
    bool shared = false;  // every user's (the temp folder)
};

LockFolder lockFolder() {
    if (auto p = pathFromEnvironment("SKYHAVEN_LOCK_DIR")) return {*p, false};
    if (auto p = pathFromEnvironment("XDG_RUNTIME_DIR")) return {*p, false};
    std::error_code ec;
    std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    // A temp folder that is named but missing: the lock's open says so.
    if (ec) temp = pathFromEnvironment("TMPDIR").value_or("/tmp");
    return {temp, true};
}

// "Local\$Skyhaven_P3D$" -> "Local_$Skyhaven_P3D$.lock", or with the user id
// "Local_$Skyhaven_P3D$.1000.lock"
std::string lockFileName(std::string_view mutexName, bool withUser) {
    std::string name(mutexName);
    for (char& c : name) {
        if (c == '\\' || c == '/') c = '_';
    }
    if (withUser) {
        name += '.';
        name += std::to_string(::getuid());
    }
    name += ".lock";
    return name;
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(std::string_view mutexName) {
    const LockFolder folder = lockFolder();
    take(folder.path / lockFileName(mutexName, folder.shared));
}

SingleInstanceLock::SingleInstanceLock(std::string_view mutexName, const std::filesystem::path& folder) {
    take(folder / lockFileName(mutexName, false));
}

void SingleInstanceLock::take(std::filesystem::path path) {
    m_path = std::move(path);
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            m_heldElsewhere = true;
        } else {
            m_error = error;
        }
        return;
    }
    m_fd = fd;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (m_fd >= 0) ::close(m_fd);
}

}  // namespace skh::platform
