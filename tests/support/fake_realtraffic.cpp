#include "support/fake_realtraffic.hpp"

#include <array>
#include <chrono>

namespace skh::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSliceMs = 20;

std::string replyText(FakeRealTraffic::Reply reply, const std::string& version, const std::string& raw) {
    using R = FakeRealTraffic::Reply;
    switch (reply) {
        case R::Level2:
        case R::Split: return "{\"version\":\"" + version + "\",\"level\":2}";
        case R::Level1: return "{\"version\":\"" + version + "\",\"level\":1}";
        case R::NoLevel: return "{\"version\":\"" + version + "\"}";
        case R::VersionNumber: return "{\"version\":" + version + ",\"level\":2}";
        case R::Malformed: return "RealTraffic says hello";
        case R::Raw: return raw;
        case R::None: return {};
    }
    return {};
}

}  // namespace

// g++ 12 at -O2 takes an assignment of a literal to a string of unknown
// length for a copy of more than half the address space (a false alarm).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"
TrafficLineBuilder::TrafficLineBuilder() : m_fields(kFields) {
    m_fields[0] = "TFC";
    m_fields[1] = "4840100";        // act number
    m_fields[2] = "47.460000";      // latitude
    m_fields[3] = "8.560000";       // longitude
    m_fields[4] = "5000";           // altitude, ft
    m_fields[5] = "-640";           // vertical speed
    m_fields[6] = "1";
    m_fields[7] = "140.5";          // track
    m_fields[8] = "210";            // ground speed
    m_fields[9] = "SWR123";         // callsign
    m_fields[10] = "A320";          // type
    m_fields[11] = "HB-JLT";        // registration
    m_fields[12] = "LSGG";          // origin
    m_fields[13] = "LSZH";          // destination
    m_fields[14] = "1700000000.25"; // timestamp
    m_fields[15] = "SWR123";
    m_fields[16] = "4b1805";
    m_fields[17] = "adsb_icao";     // source
    m_fields[18] = "4900";
    m_fields[19] = "225";
    m_fields[20] = "230";           // true airspeed
    m_fields[21] = "0.36";
    m_fields[22] = "-0.8";
    m_fields[23] = "-1";            // roll
    m_fields[24] = "138.2";
    m_fields[25] = "141.0";         // true heading
    m_fields[26] = "0";
    m_fields[27] = "1013.2";
    m_fields[28] = "A3";            // emitter category
    for (std::size_t i = 29; i < kFields; ++i) m_fields[i] = "0";
}
#pragma GCC diagnostic pop

TrafficLineBuilder& TrafficLineBuilder::set(std::size_t field, std::string value) {
    m_fields.at(field) = std::move(value);
    return *this;
}

std::string TrafficLineBuilder::text() const {
    std::string out;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (i != 0) out += ',';
        out += m_fields[i];
    }
    return out;
}

FakeRealTraffic::FakeRealTraffic() = default;

FakeRealTraffic::~FakeRealTraffic() {
    disconnect();
    if (m_udp != platform::kInvalidSocket) platform::closeSocket(m_udp);
}

bool FakeRealTraffic::sendDatagram(std::uint16_t port, std::string_view bytes) {
    const std::lock_guard lock(m_udpMutex);
    if (m_udp == platform::kInvalidSocket) {
        m_udp = platform::openUdpSocket(platform::Family::IPv4);
        if (m_udp == platform::kInvalidSocket) return false;
    }
    platform::SocketAddress to;
    if (platform::resolveAddress("127.0.0.1", std::to_string(port), platform::Family::IPv4, false, to) != 0) {
        return false;
    }
    return platform::sendToSocket(m_udp, bytes.data(), bytes.size(), to) == static_cast<long>(bytes.size());
}

void FakeRealTraffic::setReply(Reply reply, std::string version) {
    const std::lock_guard lock(m_mutex);
    m_reply = reply;
    m_version = std::move(version);
}

void FakeRealTraffic::setRawReply(std::string text) {
    const std::lock_guard lock(m_mutex);
    m_reply = Reply::Raw;
    m_rawReply = std::move(text);
}

void FakeRealTraffic::setLineCallback(std::function<void(const std::string&)> callback) {
    const std::lock_guard lock(m_mutex);
    m_callback = std::move(callback);
}

void FakeRealTraffic::connect(std::uint16_t port) {
    disconnect();
    m_stop = false;
    m_closedByServer = false;
    m_thread = std::thread([this, port] { clientLoop(port); });
}

void FakeRealTraffic::disconnect() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void FakeRealTraffic::clientLoop(std::uint16_t port) {
    platform::SocketAddress address;
    if (platform::resolveAddress("127.0.0.1", std::to_string(port), platform::Family::IPv4, false, address) != 0) {
        return;
    }
    while (!m_stop.load()) {
        const platform::Socket s = platform::openTcpSocket(platform::Family::IPv4);
        if (s == platform::kInvalidSocket) return;
        if (platform::connectSocketTimeout(s, address, 200) == 0) {
            serve(s);
            platform::closeSocket(s);
            return;
        }
        platform::closeSocket(s);
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
}

void FakeRealTraffic::serve(platform::Socket s) {
    m_connections.fetch_add(1);
    {
        const std::lock_guard lock(m_mutex);
        m_connected = true;
    }
    m_changed.notify_all();
    std::string pending;
    std::array<char, 4096> buffer{};
    while (!m_stop.load()) {
        const int ready = platform::waitReadable(s, kSliceMs);
        if (ready == 0) continue;
        const long n = ready < 0 ? -1 : platform::recvSocket(s, buffer.data(), buffer.size());
        if (n <= 0) {
            const std::lock_guard lock(m_mutex);
            m_closedByServer = true;
            break;
        }
        // Only the new bytes (and the one before them) can complete a line.
        std::size_t from = pending.empty() ? 0 : pending.size() - 1;
        pending.append(buffer.data(), static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending.find("\r\n", from)) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            from = 0;
            if (line == "Qs999=version") answerVersion(s);
            record(std::move(line));
        }
    }
    {
        const std::lock_guard lock(m_mutex);
        m_connected = false;
    }
    m_changed.notify_all();
}

void FakeRealTraffic::answerVersion(platform::Socket s) {
    Reply reply;
    std::string text;
    {
        const std::lock_guard lock(m_mutex);
        reply = m_reply;
        text = replyText(m_reply, m_version, m_rawReply);
    }
    if (text.empty()) return;
    if (reply == Reply::Split) {
        const std::size_t half = text.size() / 2;
        platform::sendAll(s, text.data(), half);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        platform::sendAll(s, text.data() + half, text.size() - half);
        return;
    }
    platform::sendAll(s, text.data(), text.size());
}

void FakeRealTraffic::record(std::string line) {
    std::function<void(const std::string&)> callback;
    {
        const std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
        callback = m_callback;
    }
    m_changed.notify_all();
    if (callback) callback(line);
}

std::vector<std::string> FakeRealTraffic::lines() const {
    const std::lock_guard lock(m_mutex);
    return m_lines;
}

int FakeRealTraffic::waitForLine(std::string_view prefix, int timeoutMs, std::size_t from) const {
    std::unique_lock lock(m_mutex);
    int found = -1;
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (std::size_t i = from; i < m_lines.size(); ++i) {
            if (m_lines[i].starts_with(prefix)) {
                found = static_cast<int>(i);
                return true;
            }
        }
        return false;
    });
    return found;
}

bool FakeRealTraffic::waitConnected(int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_connected.load(); });
}

bool FakeRealTraffic::waitClosed(int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_closedByServer.load(); });
}

}  // namespace skh::test
