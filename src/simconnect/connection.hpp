#pragma once
// One connection to the simulator and the process-wide connection list.
//
// Each connected transport has a reader thread and a writer thread, which take
// the place of overlapped reads and writes with their completions: each holds
// a reference to the connection, so a connection that the caller has closed
// is freed only when its last pending read or write has ended. Closing wakes
// both threads and joins them, so none outlives the close. Received
// messages wait in the connection's queue for SimConnect_CallDispatch;
// committed packets wait in its outgoing queue for the writer.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.hpp"
#include "simconnect/framer.hpp"
#include "simconnect/sc_event.hpp"
#include "simconnect/sc_types.hpp"

namespace skh {

struct ScOutgoingBlock {
    std::vector<std::byte> bytes;
    std::uint32_t connectionId = 0;
};

struct ScConnection {
    explicit ScConnection(ScTransportKind kind, std::uint32_t maxReceiveSize, bool disableNagle);
    ~ScConnection();
    ScConnection(const ScConnection&) = delete;
    ScConnection& operator=(const ScConnection&) = delete;

    ScTransportKind transport;
    platform::Socket socket = platform::kInvalidSocket;
    std::atomic<int> state{0};  // 0 not connected, 2 connected
    std::atomic<bool> transportClosed{false};

    // The failure record; set once, by the first failure.
    std::atomic<bool> failed{false};
    std::atomic<HRESULT> failureCode{0};
    ScFailureKind failureKind = ScFailureKind::None;  // guarded by queueMutex
    int lastError = 0;                                // guarded by queueMutex

    std::uint32_t connectionId = 0;
    std::uint32_t maxReceiveSize;
    bool disableNagle;

    // Receiving: the framer belongs to the reader; the queue is guarded by
    // queueMutex (the connection's own critical section).
    ScFramer framer;
    std::mutex queueMutex;
    std::deque<std::vector<std::byte>> received;
    std::size_t receivedCount = 0;
    bool closing = false;  // guarded by queueMutex; set by the caller's close

    // Sending, guarded by sendMutex.
    std::mutex sendMutex;
    std::condition_variable sendCv;
    std::deque<ScOutgoingBlock> outgoing;
    bool sendInProgress = false;
    bool writerStop = false;

    // Notification of the caller and the stored dispatch callback.
    HWND window = nullptr;
    std::uint32_t userMessage = 0;
    ScEvent* event = nullptr;
    ScDispatchProc dispatch = nullptr;

    // The packet build buffer and the send-id counter (guarded by the
    // process-wide packet mutex).
    std::unique_ptr<std::byte[]> build;
    std::size_t buildUsed = 0;
    std::uint32_t sendId = 0;

    // The reader and writer of a socket transport; joined by the close.
    std::thread reader;
    std::thread writer;

    std::atomic<int> references{1};
    ScConnection* previous = nullptr;
    ScConnection* next = nullptr;
};

// Waits of closing and opening; tests shorten them.
struct ScTimings {
    std::atomic<int> flushWaitMs{100};     // for queued packets to leave before closing
    std::atomic<int> settleWaitMs{250};    // after closing
    std::atomic<int> cleanupStepMs{250};   // steps of waiting for the last transport
    std::atomic<int> cleanupSteps{20};
    std::atomic<int> pipeBusyWaitMs{5000}; // for a busy pipe to accept
    std::atomic<int> connectTimeoutMs{5000};
};
ScTimings& gf_scTimings();

// The process-wide mutex that serialises building and committing packets.
std::mutex& gf_scPacketMutex();

// A new connection, linked into the process-wide list, with one reference
// (the caller's) and its build buffer.
ScConnection* lf_scCreateConnection(ScTransportKind kind, std::uint32_t maxReceiveSize, bool disableNagle);
// The connection behind a handle, or null when the handle names none.
ScConnection* lf_scFindConnection(HANDLE handle);
void lf_scAddRef(ScConnection* connection);
// Drops one reference; the last one frees the connection.
void lf_scRelease(ScConnection* connection);

// Marks the connection connected: new connection id, no-delay option, state
// 2, and (for a socket) the reader and writer started. False when the threads
// cannot be started.
bool lf_scMarkConnected(ScConnection* connection);

// Opens the transport: TCP over IPv4 or IPv6 to address and port, or the
// named pipe `address` (its full "\\server\pipe\name" form). True when it
// failed.
enum class ScFamily { IPv4, IPv6, Pipe };
bool lf_scOpenTransport(ScConnection* connection, ScFamily family, const std::string& address,
                        const std::string& port);

// Records a transport failure (the first one wins) and closes the transport.
void lf_scTransportFailed(ScConnection* connection, ScFailureKind kind, int lastError, HRESULT code);

// Copies the built bytes into an outgoing block, queues it when connected
// (else drops it) and empties the build buffer. Caller holds the packet mutex.
void lf_scCommitPacket(ScConnection* connection);

// Closes a connection as SimConnect_Close does (also used for failed attempts).
void lf_scCloseConnection(ScConnection* connection);

// Hands bytes to the connection as if a read had brought them (the reader's
// path without a socket); false once the transport has failed.
bool lf_scReceiveBytes(ScConnection* connection, std::span<const std::byte> bytes);

// A connected connection without a transport: its packets stay in the
// outgoing queue and bytes reach it only through lf_scReceiveBytes. For
// tests, benchmarks and the fuzz target.
ScConnection* gf_scOpenUnattached(std::uint32_t maxReceiveSize = kScBuildBufferSize);
// Takes the queued outgoing blocks of a connection.
std::vector<ScOutgoingBlock> gf_scTakeOutgoing(HANDLE handle);

// Counters for tests: connections in the list, connection objects alive,
// transports alive, and whether the client started the socket library.
int gf_scConnectionCount();
int gf_scLiveConnectionObjects();
int gf_scLiveTransports();
bool gf_scWinsockStarted();

}  // namespace skh
