#pragma once
// The single-instance guard: a named mutex stands for the program's one
// copy. Here it is an exclusive lock on a lock file named after the mutex,
// in $SKYHAVEN_LOCK_DIR, else $XDG_RUNTIME_DIR, else the temp folder. The
// temp folder is shared by every user, and a local mutex is one per login:
// there the file name carries the user id. The lock is released when the
// process ends, however it ends.
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

    // False when another process holds the lock or the lock file could not
    // be opened or locked.
    bool acquired() const { return m_fd >= 0; }
    // Another process holds the lock (the mutex existed already).
    bool heldElsewhere() const { return m_heldElsewhere; }
    // The errno of an open or lock that failed for another reason, else 0.
    int error() const { return m_error; }
    const std::filesystem::path& path() const { return m_path; }

private:
    void take(std::filesystem::path path);

    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_heldElsewhere = false;
    int m_error = 0;
};

}  // namespace skh::platform
