#pragma once
// The single-instance guard: a named mutex stands for the program's one
// copy. Here it is an exclusive lock on a lock file named after the mutex,
// in $SKYHAVEN_LOCK_DIR, else $XDG_RUNTIME_DIR, else the temp folder. The
// lock is released when the process ends, however it ends.
#include <filesystem>
#include <string_view>

namespace skh::platform {

class SingleInstanceLock {
public:
    explicit SingleInstanceLock(std::string_view mutexName);
    // The same lock with its file in a folder of the caller's choosing.
    SingleInstanceLock(std::string_view mutexName, const std::filesystem::path& folder);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False when another process holds the lock (the mutex existed already).
    bool acquired() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

}  // namespace skh::platform
