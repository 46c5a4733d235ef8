#pragma once
// A stand-in for RealTraffic: it sends traffic lines and QNH datagrams over
// UDP to ports on 127.0.0.1, and as a TCP client connects to the program's
// server (retrying until it listens), answers the version question with a
// reply of the test's choice and records every line it receives. Used by the
// tests and by the skyhaven-fake-rt tool.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/net.hpp"

namespace skh::test {

// A traffic line with realistic values in every field; fields are set by
// number and the line is joined with commas.
class TrafficLineBuilder {
public:
    static constexpr std::size_t kFields = 37;
    TrafficLineBuilder();
    TrafficLineBuilder& set(std::size_t field, std::string value);
    const std::string& get(std::size_t field) const { return m_fields.at(field); }
    std::string text() const;

private:
    std::vector<std::string> m_fields;
};

// The position the builder's default line lies at (near the user position
// tests use).
inline constexpr double kDefaultLat = 47.46;
inline constexpr double kDefaultLon = 8.56;

class FakeRealTraffic {
public:
    enum class Reply {
        Level2,        // {"version":"9.0","level":2}
        Level1,        // {"version":"9.0","level":1}
        NoLevel,       // {"version":"9.0"}
        VersionNumber, // {"version":9.0,"level":2}
        Split,         // the level-2 reply in two segments 100 ms apart
        Malformed,     // text that is not JSON
        Raw,           // the text given to setRawReply
        None,          // no answer at all
    };

    FakeRealTraffic();
    ~FakeRealTraffic();
    FakeRealTraffic(const FakeRealTraffic&) = delete;
    FakeRealTraffic& operator=(const FakeRealTraffic&) = delete;

    // UDP: one datagram to 127.0.0.1:port; false when it could not be sent.
    bool sendDatagram(std::uint16_t port, std::string_view bytes);
    bool sendQnh(std::uint16_t port, std::string_view json) { return sendDatagram(port, json); }

    // TCP: how to answer "Qs999=version".
    void setReply(Reply reply, std::string version = "9.0");
    void setRawReply(std::string text);
    // Called for every received line (from the client thread).
    void setLineCallback(std::function<void(const std::string&)> callback);

    // Connects to 127.0.0.1:port on a thread of its own, retrying until the
    // server listens, and serves the link until it closes or disconnect().
    void connect(std::uint16_t port);
    // Closes the link (RealTraffic gone) and ends the client thread.
    void disconnect();
    bool connected() const { return m_connected.load(); }
    // Connections made so far.
    int connections() const { return m_connections.load(); }

    // Every line received (without CR LF), in order.
    std::vector<std::string> lines() const;
    // Waits until a received line starts with the prefix (counting from line
    // index `from`); returns its index or -1 after the timeout.
    int waitForLine(std::string_view prefix, int timeoutMs, std::size_t from = 0) const;
    // Waits until the link is up (true) or the timeout passed.
    bool waitConnected(int timeoutMs) const;
    // Waits until the server closed the link.
    bool waitClosed(int timeoutMs) const;

private:
    void clientLoop(std::uint16_t port);
    void serve(platform::Socket s);
    void answerVersion(platform::Socket s);
    void record(std::string line);

    platform::Socket m_udp = platform::kInvalidSocket;
    std::mutex m_udpMutex;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    Reply m_reply = Reply::Level2;
    std::string m_version = "9.0";
    std::string m_rawReply;
    std::function<void(const std::string&)> m_callback;

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_closedByServer{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

}  // namespace skh::test
