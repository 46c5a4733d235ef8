#include "feed/realtraffic_link.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "feed/feed_text.hpp"
#include "feed/readers.hpp"
#include "feed/wsa_error_text.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/json_text.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "feed/live_removal.hpp"
#include "feed/traffic_queue.hpp"

namespace skh {

using platform::kInvalidSocket;
using platform::Socket;

constinit std::atomic<Socket> g_rtListenSocket{kInvalidSocket};
constinit std::atomic<Socket> g_rtClientSocket{kInvalidSocket};
constinit std::atomic<bool> g_rtConnected{false};
constinit std::atomic<int> g_rtReplyTimeoutMs{2000};
constinit std::atomic<int> g_rtAcceptSliceMs{1000};

namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kReceiveSize = 16384;
constexpr int kListenBacklog = 128;  // the usual system maximum
constexpr int kSendTimeoutMs = 2000;
constexpr double kNearZero = 0.0001;

bool g_wsaStarted = false;  // only the run's thread opens and closes the server

bool stopUnderWay() { return g_stopRequested.load() || g_closeRequested.load(); }

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

void closeListenSocket() {
    const Socket s = g_rtListenSocket.exchange(kInvalidSocket);
    if (s != kInvalidSocket) platform::closeSocket(s);
}

void closeClientSocket() {
    g_rtConnected = false;
    const Socket s = g_rtClientSocket.exchange(kInvalidSocket);
    if (s != kInvalidSocket) platform::closeSocket(s);
}

void setConnectedLamp(bool on) {
    gf_setBoard(g_mainWindowState.realTrafficConnected, on);
}

[[noreturn]] void failListen(const std::string& text) {
    closeListenSocket();
    if (g_wsaStarted) platform::wsaCleanup();
    g_wsaStarted = false;
    throw std::runtime_error(text);
}

// RealTraffic sends nothing after its version reply, so a client socket that
// is readable has been closed by the peer (or carries stray bytes, which are
// dropped). Without this look the first send into a closed link would seem
// to succeed. Returns the error code of a gone peer, else 0.
int lf_peerGoneError(Socket s) {
    std::array<char, 4096> scratch{};
    for (int round = 0; round < 64; ++round) {
        const int ready = platform::waitReadable(s, 0);
        if (ready == 0) return 0;
        if (ready < 0) return platform::wsaLastError();
        const long n = platform::recvSocket(s, scratch.data(), scratch.size());
        if (n == 0) return platform::kWsaEconnreset;
        if (n < 0) {
            if (platform::wsaLastError() == platform::kWsaEwouldblock) return 0;
            return platform::wsaLastError();
        }
    }
    return 0;
}

// Sends everything within the send timeout; 0 or the error code.
int lf_sendAll(Socket s, std::string_view line) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
    while (!line.empty()) {
        const long n = platform::sendSocket(s, line.data(), line.size());
        if (n > 0) {
            line.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && platform::wsaLastError() != platform::kWsaEwouldblock) return platform::wsaLastError();
        const int left = msLeft(deadline);
        if (left == 0) return platform::kWsaEtimedout;
        if (platform::waitWritable(s, left) < 0) return platform::wsaLastError();
    }
    return 0;
}

// Windows' code for a service name that getaddrinfo cannot resolve.
constexpr int kWsaTypeNotFound = 10109;

// Decimal digits only, 0 to 65535 (0: any free port).
bool lf_isPortText(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value <= 65535;
}

enum class JsonState { Complete, Incomplete, Malformed };

JsonState lf_jsonState(const std::string& text) {
    try {
        const Json parsed = Json::parse(text);
        (void)parsed;
        return JsonState::Complete;
    } catch (const Json::parse_error& e) {
        // The parser stops one past the end when the text is only cut short.
        return e.byte > text.size() ? JsonState::Incomplete : JsonState::Malformed;
    } catch (const Json::exception&) {
        return JsonState::Malformed;
    }
}

// The level member: a number, or a text holding one; 1 when missing.
std::int64_t lf_levelOf(const Json& reply) {
    const auto it = reply.find("level");
    if (it == reply.end()) return 1;
    if (it->is_number_integer()) return it->get<std::int64_t>();
    if (it->is_number_float()) {
        const double d = it->get<double>();
        if (std::isfinite(d) && d == std::round(d) && std::fabs(d) < 1e9) return static_cast<std::int64_t>(d);
    }
    if (it->is_string()) {
        const auto& s = it->get_ref<const std::string&>();
        if (s == "1" || s == "2") return s[0] - '0';
    }
    gf_logWarning(skh::format("RealTraffic level not understood: {}", gf_printableExcerpt(gf_jsonText(*it), 64)));
    return 1;
}

// The version member: a text or a number.
std::string lf_versionOf(const Json& reply) {
    const auto it = reply.find("version");
    if (it == reply.end()) return {};
    if (it->is_string()) return gf_printableExcerpt(it->get_ref<const std::string&>(), 64);
    if (it->is_number()) return it->dump();
    gf_logWarning(skh::format("RealTraffic version not understood: {}", gf_printableExcerpt(gf_jsonText(*it), 64)));
    return {};
}

}  // namespace

void lf_listenTcp(const std::string& port) {
    closeListenSocket();
    if (g_wsaStarted) platform::wsaCleanup();
    g_wsaStarted = false;

    const int rc = platform::wsaStartup();
    if (rc != 0) failListen(skh::format("WSAStartup failed with error {}", rc));
    g_wsaStarted = true;

    // A port text the system would read some other way (99999 wraps around)
    // is refused as an unknown service.
    if (!lf_isPortText(port)) failListen(skh::format("getaddrinfo failed with error {}", kWsaTypeNotFound));

    // Only RealTraffic on this PC is served.
    platform::SocketAddress address;
    const int resolved = platform::resolveAddress("127.0.0.1", port, platform::Family::IPv4, false, address);
    if (resolved != 0) failListen(skh::format("getaddrinfo failed with error {}", resolved));

    const Socket s = platform::openTcpSocket(platform::Family::IPv4);
    if (s == kInvalidSocket) failListen("socket failed with error " + gf_lastWsaErrorText());
    g_rtListenSocket = s;
    // Non-blocking, so that waiting for RealTraffic can always be cut short.
    if (platform::setNonBlocking(s, true) != 0) failListen("ioctlsocket failed with error " + gf_lastWsaErrorText());
    if (platform::setReuseAddress(s, true) != 0) failListen("setsockopt(SO_REUSEADDR) failed");
    if (platform::bindSocket(s, address) != 0) {
        failListen(skh::format("Bind failed at port {} with error {}", port, gf_lastWsaErrorText()));
    }
    if (platform::listenSocket(s, kListenBacklog) != 0) failListen("listen failed with error " + gf_lastWsaErrorText());
}

int gf_rtListenPort() {
    const Socket s = g_rtListenSocket.load();
    if (s == kInvalidSocket) return 0;
    return std::max(platform::localPort(s), 0);
}

bool waitForClient(int timeoutMs) {
    if (g_rtConnected.load()) return false;
    const Socket listener = g_rtListenSocket.load();
    if (listener == kInvalidSocket) return false;
    if (timeoutMs > 0 && platform::waitReadable(listener, timeoutMs) != 1) return false;
    const Socket client = platform::acceptSocket(listener);
    if (client == kInvalidSocket) return false;
    try {
        if (platform::setNoDelay(client, true) != 0) {
            throw std::runtime_error(
                skh::format("{} setsockopt failed with error {}", gf_utcTimeOfDay(), gf_lastWsaErrorText()));
        }
        // Every wait on the link is bounded, so the client socket never blocks.
        if (platform::setNonBlocking(client, true) != 0) {
            throw std::runtime_error(
                skh::format("{} ioctlsocket failed with error {}", gf_utcTimeOfDay(), gf_lastWsaErrorText()));
        }
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("waitForClient interrupted: {}", e.what()));
        platform::closeSocket(client);
        return false;
    }
    g_rtClientSocket = client;
    g_rtConnected = true;
    return true;
}

void lf_resetRealTrafficLink() {
    g_trafficTime = 0.0;
    heardCallsigns.clear();
    gf_resetReadersForLink();
}

void lf_waitForRealTraffic() {
    if (!g_rtOnThisPc.load()) return;
    gf_setStatusMessage(skh::format("Waiting for RealTraffic to connect to {} ...", PRODUCT_NAME), true);
    gf_logRaw("");
    gf_logRaw("");
    lf_resetRealTrafficLink();

    while (!stopUnderWay()) {
        if (!waitForClient(std::clamp(g_rtAcceptSliceMs.load(), 1, 1000))) continue;
        // A link that is gone before the question is asked is waited for again.
        if (!sendDataPacket("Qs999=version\r\n")) continue;
        lf_readRealTrafficVersion(lf_receiveVersionReply());
        setConnectedLamp(true);
        g_runStarting = false;
        gf_logRaw("RealTraffic connected");
        break;
    }
    gf_clearStatusMessage();
}

std::string receive() {
    const Socket s = g_rtClientSocket.load();
    if (s == kInvalidSocket) return {};
    std::array<char, kReceiveSize> buffer{};
    const long n = platform::recvSocket(s, buffer.data(), buffer.size());
    if (n < 0) {
        gf_logRaw(skh::format("receive: {}", gf_lastWsaErrorText()));
        return {};
    }
    if (static_cast<std::size_t>(n) >= kReceiveSize) {
        gf_logRaw(skh::format("receive: buffer overrun: {}", n));
        return {};
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string lf_receiveVersionReply() {
    std::string reply;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(g_rtReplyTimeoutMs.load(), 0));
    while (reply.size() < kReceiveSize) {
        const Socket s = g_rtClientSocket.load();
        if (s == kInvalidSocket) break;
        const int left = msLeft(deadline);
        if (left == 0) break;
        const int ready = platform::waitReadable(s, left);
        if (ready < 0) {
            gf_logRaw(skh::format("receive: {}", gf_lastWsaErrorText()));
            break;
        }
        if (ready == 0) break;
        const std::string chunk = receive();
        if (chunk.empty()) break;
        reply += chunk;
        if (lf_jsonState(reply) != JsonState::Incomplete) break;
    }
    return reply;
}

void lf_readRealTrafficVersion(const std::string& reply) {
    if (reply.empty()) {
        gf_setStatusMessage("No RealTraffic version received?", true);
        g_rtProfessional = false;
        return;
    }
    const Json doc = Json::parse(reply, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        if (doc.is_discarded()) {
            gf_logWarning(skh::format("RealTraffic version reply not understood, taken as level 1: {}",
                                      gf_printableExcerpt(reply, 256)));
        }
        g_rtProfessional = false;
        gf_setBoard(g_mainWindowState.realTrafficEdition, std::string());
        return;
    }
    const std::int64_t level = lf_levelOf(doc);
    g_rtProfessional = level == 2;
    gf_setBoard(g_mainWindowState.realTrafficEdition,
                skh::format("RT{} edition: {}", level == 2 ? " prof" : " stnd", lf_versionOf(doc)));
}

bool sendDataPacket(std::string_view line) {
    const Socket s = g_rtClientSocket.load();
    if (s == kInvalidSocket) return false;
    int error = lf_peerGoneError(s);
    if (error == 0) error = lf_sendAll(s, line);
    if (error == 0) return true;
    gf_logRaw(skh::format("sendDataPacket to RealTraffic failed: {}", gf_wsaErrorText(error)));
    closeClientSocket();
    gf_logRaw("RealTraffic client socket closed");
    return false;
}

std::optional<std::string> gf_formatQs121(const UserAcState& u) {
    const double values[] = {u.pitch, u.bank, u.trueHeading, u.altitude, u.groundVelocity, u.latitude, u.longitude};
    for (const double v : values) {
        if (!std::isfinite(v)) return std::nullopt;
    }
    // Whole numbers for the scaled fields, as RealTraffic reads them.
    return skh::format("Qs121={:.0f};{:.0f};{:.6f};{:.0f};{};{:.6f};{:.6f}\r\n", u.pitch * 100000.0,
                       u.bank * 100000.0, u.trueHeading, u.altitude * 1000.0, u.groundVelocity * 1000.0,
                       u.latitude * DEG2RAD, u.longitude * DEG2RAD);
}

namespace {

// A failed send is the only sign that RealTraffic has gone, whichever line
// met it: the lamp goes off, the live aircraft leave (they would stand frozen
// until they time out) and the next user position waits for the new link.
void lf_realTrafficLost() {
    setConnectedLamp(false);
    if (!g_closeRequested.load()) gf_removeAllLiveAircraft();
    lf_resetRealTrafficLink();
    gf_setStatusMessage(skh::format("{} RealTraffic gone? Wait for RealTraffic to re-connect ...", gf_utcTimeOfDay()),
                        true);
}

}  // namespace

void gf_sendUserPosition() {
    if (!g_rtOnThisPc.load()) return;
    const UserAcState user = gf_userAcCopy();
    if (std::fabs(user.latitude) <= kNearZero && std::fabs(user.longitude) <= kNearZero) return;

    if (!g_rtConnected.load()) {
        if (g_appState.load() != AppState::NotYetSet) return;
        if (waitForClient(0)) {
            setConnectedLamp(true);
            gf_setStatusMessage(skh::format("{} RealTraffic re-connected", gf_utcTimeOfDay()), true);
            gf_clearStatusMessage();
        }
        return;
    }

    const auto line = gf_formatQs121(user);
    if (!line) return;
    if (!sendDataPacket(*line)) lf_realTrafficLost();
}

void gf_sendQs123(std::int64_t seconds) {
    if (!g_rtConnected.load() || seconds < 1) return;
    if (seconds > std::numeric_limits<std::int64_t>::max() / 1000) return;
    if (!sendDataPacket(skh::format("Qs123={}\r\n", seconds * 1000))) lf_realTrafficLost();
}

void gf_connectRealTraffic(std::int64_t simSeconds) {
    if (!g_rtOnThisPc.load() || AEROWINX.value.load()) {
        setConnectedLamp(true);
        return;
    }
    lf_listenTcp(PORT_NUMBER.value.get());
    if (stopUnderWay()) return;
    lf_waitForRealTraffic();
    if (g_rtProfessional.load()) gf_sendQs123(simSeconds);
}

void gf_closeRealTrafficLink() {
    if (g_rtConnected.load()) (void)sendDataPacket("exit\r\n");
    closeClientSocket();
    closeListenSocket();
    if (g_wsaStarted) platform::wsaCleanup();
    g_wsaStarted = false;
}

}  // namespace skh
