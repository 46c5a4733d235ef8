#include "support/reserved_port.hpp"

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "feed/readers.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "platform/net.hpp"
#include "platform/single_instance.hpp"

namespace skh::test {

namespace {

namespace fs = std::filesystem;

// Ports below this are the system's own services.
constexpr int kLowestPort = 1024;
constexpr int kPoolSize = 4096;

// Beside the system's range, below it where there is room.
platform::PortRange portPool() {
    const platform::PortRange system = platform::ephemeralPortRange();
    const int below = system.first - kLowestPort;
    const int above = 65535 - system.last;
    if (below >= kPoolSize || (below > 0 && below >= above)) {
        return {system.first - std::min(below, kPoolSize), system.first - 1};
    }
    if (above > 0) return {system.last + 1, system.last + std::min(above, kPoolSize)};
    throw std::runtime_error(
        skh::format("no port is left outside the system's range {}-{}", system.first, system.last));
}

// The ports a program on this machine may listen on for real.
bool isProgramDefault(int port) {
    return port == kTrafficPort || port == kQnhPort || std::to_string(port) == PORT_NUMBER.defaultValue;
}

// Free on every address, for TCP and for UDP: no listener, no link left
// over, no program of a test that ended without closing it.
bool bindable(int port) {
    platform::SocketAddress any;
    if (platform::resolveAddress("", std::to_string(port), platform::Family::IPv4, true, any) != 0) return false;
    for (const bool udp : {false, true}) {
        const platform::Socket s =
            udp ? platform::openUdpSocket(platform::Family::IPv4) : platform::openTcpSocket(platform::Family::IPv4);
        if (s == platform::kInvalidSocket) return false;
        const bool bound = platform::bindSocket(s, any) == 0;
        platform::closeSocket(s);
        if (!bound) return false;
    }
    return true;
}

}  // namespace

fs::path ReservedPort::lockFolder() { return fs::temp_directory_path() / "skyhaven-test-ports"; }

ReservedPort::ReservedPort() {
    const platform::PortRange pool = portPool();
    const fs::path folder = lockFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw std::runtime_error(skh::format("cannot make {}: {}", folder.string(), ec.message()));

    // Each process starts at a place of its own, so that tests starting
    // together seldom try the same lock.
    const int size = pool.last - pool.first + 1;
    std::random_device rd;
    const int start = std::uniform_int_distribution<int>(0, size - 1)(rd);
    for (int i = 0; i < size; ++i) {
        const int port = pool.first + (start + i) % size;
        if (isProgramDefault(port)) continue;
        auto lock = std::make_unique<platform::SingleInstanceLock>("port-" + std::to_string(port), folder);
        if (!lock->acquired() || !bindable(port)) continue;
        m_port = static_cast<std::uint16_t>(port);
        m_lock = std::move(lock);
        return;
    }
    throw std::runtime_error(
        skh::format("no free port in {}-{} (locks in {})", pool.first, pool.last, folder.string()));
}

ReservedPort::~ReservedPort() = default;
ReservedPort::ReservedPort(ReservedPort&&) noexcept = default;
ReservedPort& ReservedPort::operator=(ReservedPort&&) noexcept = default;

}  // namespace skh::test
