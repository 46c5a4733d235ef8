#include "feed/udp_reader.hpp"

#include <cstring>
#include <stdexcept>

#include "feed/wsa_error_text.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/upcalls.hpp"

namespace skh {

constinit std::atomic<bool> g_rtOnThisPc{false};

namespace {

// Bursts of traffic lines must not overflow the socket while the handler runs.
constexpr int kReceiveBufferBytes = 1 << 20;
// How often a flood of bad datagrams adds a count line.
constexpr auto kBadCountInterval = std::chrono::minutes(1);

void lf_logConnected(const std::string& name) { gf_logIndented(skh::format("{} connected", name)); }
void lf_logDisconnected(const std::string& name) { gf_logIndented(skh::format("{} disconnected", name)); }

}  // namespace

UdpReader::UdpReader(std::string name) : m_name(std::move(name)) {}

UdpReader::~UdpReader() {
    // A reader that is still running at exit is stopped, never abandoned.
    if (m_thread.joinable()) {
        requestStop();
        m_thread.join();
    }
}

void UdpReader::start(std::uint16_t port, ThreadBody body) {
    if (m_thread.joinable()) {
        requestStop();
        m_thread.join();
    }
    stopFlag.store(false);
    boundPort.store(0);
    m_lastDatagram.clear();
    if (body != nullptr) {
        m_thread = std::thread(body, port);
    } else {
        m_thread = std::thread([this, port] { threadBody(port); });
    }
}

void UdpReader::join() {
    if (m_thread.joinable()) m_thread.join();
}

void UdpReader::closeSocket() {
    if (m_socket != platform::kInvalidSocket) platform::closeSocket(m_socket);
    m_socket = platform::kInvalidSocket;
    boundPort.store(0);
}

void UdpReader::threadBody(std::uint16_t port) {
    try {
        const int rc = platform::wsaStartup();
        if (rc != 0) throw std::runtime_error(skh::format("WSA startup error: {}", rc));
        m_wsaStarted = true;

        m_socket = platform::openUdpSocket(platform::Family::IPv4);
        if (m_socket == platform::kInvalidSocket) {
            throw std::runtime_error(skh::format("failed to create the socket, error: {}", gf_lastWsaErrorText()));
        }
        platform::SocketAddress address;
        const bool loopback = g_rtOnThisPc.load();
        const int resolved =
            platform::resolveAddress(loopback ? "127.0.0.1" : "", std::to_string(port), platform::Family::IPv4,
                                     !loopback, address);
        if (resolved != 0) {
            throw std::runtime_error(
                skh::format("bind to stream socket failed, error: {}", gf_wsaErrorText(resolved)));
        }
        if (platform::bindSocket(m_socket, address) != 0) {
            throw std::runtime_error(skh::format("bind to stream socket failed, error: {}", gf_lastWsaErrorText()));
        }
        platform::setReceiveBufferSize(m_socket, kReceiveBufferBytes);  // best effort
        boundPort.store(platform::localPort(m_socket));

        onBound();
        lf_logConnected(m_name);
        receiveLoop();

        closeSocket();
        if (m_wsaStarted) platform::wsaCleanup();
        m_wsaStarted = false;
        logUnloggedBadDatagrams();
        lf_logDisconnected(m_name);
    } catch (const std::exception& e) {
        closeSocket();
        if (m_wsaStarted) platform::wsaCleanup();
        m_wsaStarted = false;
        gf_showThreadStopped(m_name, e.what());
        logUnloggedBadDatagrams();
        lf_logDisconnected(m_name);
    }
}

void UdpReader::receiveLoop() {
    while (!stopFlag.load()) {
        const int ready = platform::waitReadable(m_socket, m_waitMs.load());
        if (ready < 0) throw std::runtime_error(skh::format("receive error: {}", gf_lastWsaErrorText()));
        if (ready == 0) continue;
        const long n = platform::recvFromSocket(m_socket, m_buffer.data(), kBufferSize, nullptr);
        if (n < 0) {
            // Linux reports a datagram longer than the buffer by truncating it
            // (caught below); this code would come only from a platform that
            // reports it as an error, and such a datagram is skipped as well.
            if (platform::wsaLastError() == platform::kWsaEmsgsize) {
                if (countBadDatagram()) gf_logRaw(skh::format("buffer overrun: {} bytes", kBufferSize));
                continue;
            }
            throw std::runtime_error(skh::format("receive error: {}", gf_lastWsaErrorText()));
        }
        if (n == 0) continue;
        if (static_cast<std::size_t>(n) >= kBufferSize) {
            if (countBadDatagram()) gf_logRaw(skh::format("buffer overrun: {} bytes", n));
            continue;
        }
        acceptDatagram(static_cast<std::size_t>(n));
    }
    closeSocket();
    onStopped();
}

void UdpReader::handleDatagram(std::string_view datagram) {
    if (datagram.empty()) return;
    if (datagram.size() >= kBufferSize) {
        if (countBadDatagram()) gf_logRaw(skh::format("buffer overrun: {} bytes", datagram.size()));
        return;
    }
    std::memcpy(m_buffer.data(), datagram.data(), datagram.size());
    acceptDatagram(datagram.size());
}

void UdpReader::acceptDatagram(std::size_t length) {
    m_buffer[length] = '\0';
    m_datagram = std::string_view(m_buffer.data(), length);
    datagramCounter.fetch_add(1, std::memory_order_relaxed);
    if (!g_rtOnThisPc.load(std::memory_order_relaxed)) {
        // From another PC every datagram may arrive twice in a row.
        if (m_datagram == m_lastDatagram) return;
        m_lastDatagram.assign(m_datagram);
    }
    onDatagram();
}

bool UdpReader::countBadDatagram() {
    ++m_badDatagrams;
    if (m_badDatagrams <= kLoggedBadDatagrams) return true;
    const auto now = std::chrono::steady_clock::now();
    if (m_badDatagrams == kLoggedBadDatagrams + 1) {
        gf_logRaw(
            skh::format("{}: more than {} bad datagrams; the next ones are only counted", m_name, kLoggedBadDatagrams));
        m_lastBadCountLine = now;
    }
    ++m_unloggedBad;
    if (now - m_lastBadCountLine >= kBadCountInterval) logBadCountLine();
    return false;
}

void UdpReader::logUnloggedBadDatagrams() {
    if (m_unloggedBad > 0) logBadCountLine();
    m_badDatagrams = 0;
}

void UdpReader::logBadCountLine() {
    gf_logRaw(skh::format("{}: {} bad datagrams not logged ({} in all)", m_name, m_unloggedBad, m_badDatagrams));
    m_unloggedBad = 0;
    m_lastBadCountLine = std::chrono::steady_clock::now();
}

}  // namespace skh
