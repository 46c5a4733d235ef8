#pragma once
// A reader of one UDP stream from RealTraffic: its own thread waits for
// datagrams with a timeout (so it notices a stop request), and hands each one
// to the handler of the derived reader.
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "platform/net.hpp"

namespace skh {

// Set at start-up when RealTraffic is installed on this PC: the readers then
// listen on the loopback address only and pass repeated datagrams on.
extern std::atomic<bool> g_rtOnThisPc;

class UdpReader {
public:
    static constexpr std::size_t kBufferSize = 16384;
    static constexpr int kDefaultWaitMs = 1000;

    explicit UdpReader(std::string name);
    virtual ~UdpReader();
    UdpReader(const UdpReader&) = delete;
    UdpReader& operator=(const UdpReader&) = delete;

    const std::string& name() const { return m_name; }

    // Starts the reader's thread on the port (0: any free port, see
    // boundPort), running body (by default threadBody). A previous thread of
    // this reader is stopped and joined first.
    using ThreadBody = void (*)(std::uint16_t port);
    void start(std::uint16_t port, ThreadBody body = nullptr);
    void requestStop() { stopFlag.store(true); }
    // Waits for the thread to end (within about one wait after a stop).
    void join();
    bool joinable() const { return m_thread.joinable(); }

    // The thread body: socket set-up, the receive loop, and the error path.
    void threadBody(std::uint16_t port);
    void receiveLoop();

    // Hands one datagram to the handler as the receive loop does (count,
    // repeat rule, handler); for callers that have the bytes already.
    void handleDatagram(std::string_view datagram);

    // How long one wait for a datagram lasts; tests shorten it.
    void setWaitTimeoutMs(int ms) { m_waitMs.store(ms); }

    // Bad datagrams whose reason is logged in full; later ones are counted.
    static constexpr std::int64_t kLoggedBadDatagrams = 50;
    // Logs how many bad datagrams were counted and not logged since the last
    // such line, and lets the next ones be logged in full again. The
    // reader's thread does it when it ends.
    void logUnloggedBadDatagrams();

    std::atomic<bool> stopFlag{false};
    std::atomic<std::int32_t> datagramCounter{0};  // every datagram taken into the buffer
    std::atomic<std::int32_t> lastCounter{0};      // the count the watchdog saw last
    std::atomic<bool> shownActive{false};          // watchdog: lamp shown active since the last check
    std::atomic<int> boundPort{0};                 // the bound port while the socket is open

protected:
    virtual void onDatagram() = 0;
    virtual void onStopped() = 0;
    // The lamps to light once the socket is bound.
    virtual void onBound() = 0;

    // Counts a bad datagram; true while its reason is to be logged in full.
    // Past kLoggedBadDatagrams it logs a count line at most once a minute,
    // so that a flood of garbage cannot fill the disk.
    bool countBadDatagram();

    // The datagram being handled: a view of the receive buffer, followed by
    // a zero byte, valid while onDatagram runs.
    std::string_view m_datagram;

private:
    void acceptDatagram(std::size_t length);
    void logBadCountLine();
    void closeSocket();

    std::string m_name;
    std::array<char, kBufferSize + 1> m_buffer{};
    std::string m_lastDatagram;  // for the repeat rule when RealTraffic is on another PC
    platform::Socket m_socket = platform::kInvalidSocket;
    bool m_wsaStarted = false;
    std::atomic<int> m_waitMs{kDefaultWaitMs};
    std::thread m_thread;
    // Bad datagrams: touched only by the reader's thread, or by a caller of
    // handleDatagram while no thread runs.
    std::int64_t m_badDatagrams = 0;  // since the last logUnloggedBadDatagrams
    std::int64_t m_unloggedBad = 0;   // counted, not yet in a count line
    std::chrono::steady_clock::time_point m_lastBadCountLine{};
};

}  // namespace skh
