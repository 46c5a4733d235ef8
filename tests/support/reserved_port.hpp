#pragma once
// A port for a listener whose port must be known before it starts: the
// program's PORT_NUMBER and reader ports when it runs as a child, or a
// restart that must find its ports again. A port that was free a moment ago
// can be taken by any test running beside this one before the listener binds
// it; a reserved port cannot. It lies outside the range from which the system
// hands out ports (a bind to port 0, an outgoing connection), and a lock file
// per port, held while the reservation lives and released with the process
// however it ends, keeps it from every other test process. A listener that
// can bind port 0 itself and tell its port needs none of this.
#include <cstdint>
#include <filesystem>
#include <memory>

namespace skh::platform {
class SingleInstanceLock;
}

namespace skh::test {

class ReservedPort {
public:
    // Throws std::runtime_error when no port of the pool is free.
    ReservedPort();
    ~ReservedPort();
    ReservedPort(ReservedPort&&) noexcept;
    ReservedPort& operator=(ReservedPort&&) noexcept;

    std::uint16_t number() const { return m_port; }

    // Where the locks are: "port-<number>.lock" for each port held.
    static std::filesystem::path lockFolder();

private:
    std::uint16_t m_port = 0;
    std::unique_ptr<platform::SingleInstanceLock> m_lock;
};

}  // namespace skh::test
