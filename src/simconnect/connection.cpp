#include "simconnect/connection.hpp"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "platform/pipe_path.hpp"
#include "simconnect/simconnect.hpp"

namespace skh {

namespace {

using namespace std::chrono_literals;

// Process-wide state; never destroyed, so the I/O threads of a connection that
// is still open when main() returns find it.
struct ProcessState {
    std::mutex listMutex;
    ScConnection* first = nullptr;
    ScConnection* last = nullptr;
    int count = 0;
    bool winsockStarted = false;  // guarded by listMutex
    std::atomic<int> liveTransports{0};
    std::atomic<int> liveObjects{0};
    std::atomic<std::uint32_t> connectionIds{0};
    std::mutex packetMutex;
    ScTimings timings;
};

ProcessState& processState() {
    static ProcessState* instance = new ProcessState;
    return *instance;
}

void sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint32_t nextConnectionId() {
    std::uint32_t id = processState().connectionIds.fetch_add(1) + 1;
    while (id == 0) id = processState().connectionIds.fetch_add(1) + 1;
    return id;
}

HRESULT codeOf(ScFailureKind kind) {
    switch (kind) {
        case ScFailureKind::TooLarge:
        case ScFailureKind::BadSize: return kScAbort;
        case ScFailureKind::NoMemory: return kScOutOfMemory;
        case ScFailureKind::PeerClosed: return kStatusPeerClosed;
        case ScFailureKind::Cancelled: return kStatusCancelled;
        default: return kStatusUnsuccessful;
    }
}

// A failed socket call as the completion status the transport would have seen.
void failFromSocketError(ScConnection* c, int wsaError) {
    switch (wsaError) {
        case platform::kWsaEconnreset:
            lf_scTransportFailed(c, ScFailureKind::Disconnected, wsaError,
                                 c->transport == ScTransportKind::Pipe ? kStatusPipeBroken : kStatusConnectionReset);
            return;
        case platform::kWsaEconnaborted:
        case platform::kWsaEshutdown:
            lf_scTransportFailed(c, ScFailureKind::Disconnected, wsaError, kStatusRemoteDisconnect);
            return;
        case platform::kWsaEtimedout:
            lf_scTransportFailed(c, ScFailureKind::Other, wsaError, kStatusIoTimeout);
            return;
        default:
            lf_scTransportFailed(c, ScFailureKind::Other, wsaError, kStatusUnsuccessful);
            return;
    }
}

// Cuts the `count` bytes just read into messages and queues them.
bool takeBytes(ScConnection* c, std::size_t count) {
    const ScFailureKind failure = c->framer.received(count, [c](std::vector<std::byte>&& message) {
        const std::lock_guard lock(c->queueMutex);
        if (c->closing) return;
        c->received.push_back(std::move(message));
        ++c->receivedCount;
        // A window target needs a message loop, which this platform does not
        // post to; the event is the notification that works here.
        if (c->event != nullptr) c->event->set();
    });
    if (failure == ScFailureKind::None) return true;
    lf_scTransportFailed(c, failure, 0, codeOf(failure));
    return false;
}

bool isClosing(ScConnection* c) {
    const std::lock_guard lock(c->queueMutex);
    return c->closing;
}

void readerLoop(ScConnection* c) {
    for (;;) {
        std::span<std::byte> space;
        try {
            space = c->framer.freeSpace();
        } catch (const std::bad_alloc&) {
            lf_scTransportFailed(c, ScFailureKind::NoMemory, 0, kScOutOfMemory);
            break;
        }
        if (space.empty()) {
            lf_scTransportFailed(c, ScFailureKind::TooLarge, 0, kScAbort);
            break;
        }
        const long n = platform::recvSocket(c->socket, space.data(), space.size());
        const int error = n < 0 ? platform::wsaLastError() : 0;
        if (isClosing(c)) break;  // our own close: nothing is recorded
        if (c->transportClosed.load()) {
            lf_scTransportFailed(c, ScFailureKind::Cancelled, error, kStatusCancelled);
            break;
        }
        if (n == 0) {
            lf_scTransportFailed(c, ScFailureKind::PeerClosed, 0, kStatusPeerClosed);
            break;
        }
        if (n < 0) {
            failFromSocketError(c, error);
            break;
        }
        if (!takeBytes(c, static_cast<std::size_t>(n))) break;
    }
    lf_scRelease(c);
}

void writerLoop(ScConnection* c) {
    std::vector<std::byte> batch;
    std::unique_lock lock(c->sendMutex);
    for (;;) {
        c->sendCv.wait(lock, [c] { return c->writerStop || !c->outgoing.empty(); });
        if (c->writerStop) break;
        // Everything queued goes out in one write; only one write is in flight.
        batch.clear();
        while (!c->outgoing.empty()) {
            const ScOutgoingBlock& block = c->outgoing.front();
            if (block.connectionId == c->connectionId)
                batch.insert(batch.end(), block.bytes.begin(), block.bytes.end());
            c->outgoing.pop_front();
        }
        c->sendInProgress = true;
        lock.unlock();
        const bool ok = batch.empty() || platform::sendAll(c->socket, batch.data(), batch.size());
        const int error = ok ? 0 : platform::wsaLastError();
        lock.lock();
        c->sendInProgress = false;
        c->sendCv.notify_all();
        if (!ok) {
            lock.unlock();
            if (!isClosing(c)) failFromSocketError(c, error);
            lock.lock();
            break;
        }
    }
    lock.unlock();
    lf_scRelease(c);
}

void closeTransport(ScConnection* c) {
    if (c->transportClosed.exchange(true)) return;
    c->state = 0;
    if (c->socket != platform::kInvalidSocket) platform::shutdownSocket(c->socket);
    {
        const std::lock_guard lock(c->sendMutex);
        c->writerStop = true;
    }
    c->sendCv.notify_all();
}

// After closeTransport both threads end at once: the reader's receive
// returns on the shut-down socket and the writer sees writerStop.
void joinIoThreads(ScConnection* c) {
    for (std::thread* t : {&c->reader, &c->writer}) {
        if (t->joinable() && t->get_id() != std::this_thread::get_id()) t->join();
    }
}

void unlink(ScConnection* c) {
    auto& ps = processState();
    const std::lock_guard lock(ps.listMutex);
    bool linked = ps.first == c;
    for (ScConnection* p = ps.first; p != nullptr && !linked; p = p->next) linked = p == c;
    if (!linked) return;
    if (c->previous != nullptr) c->previous->next = c->next;
    if (c->next != nullptr) c->next->previous = c->previous;
    if (ps.first == c) ps.first = c->next;
    if (ps.last == c) ps.last = c->previous;
    c->previous = c->next = nullptr;
    --ps.count;
}

void startWinsock() {
    auto& ps = processState();
    const std::lock_guard lock(ps.listMutex);
    if (ps.winsockStarted) return;
    platform::wsaStartup();
    ps.winsockStarted = true;
}

}  // namespace

ScConnection::ScConnection(ScTransportKind kind, std::uint32_t maxReceive, bool noDelay)
    : transport(kind),
      maxReceiveSize(maxReceive),
      disableNagle(noDelay),
      framer(maxReceive),
      build(new std::byte[kScBuildBufferSize]()) {
    processState().liveObjects.fetch_add(1);
}

ScConnection::~ScConnection() {
    if (socket != platform::kInvalidSocket) {
        platform::closeSocket(socket);
        processState().liveTransports.fetch_sub(1);
    }
    processState().liveObjects.fetch_sub(1);
}

ScTimings& gf_scTimings() { return processState().timings; }

std::mutex& gf_scPacketMutex() { return processState().packetMutex; }

ScConnection* lf_scCreateConnection(ScTransportKind kind, std::uint32_t maxReceiveSize, bool disableNagle) {
    auto* c = new ScConnection(kind, maxReceiveSize, disableNagle);
    auto& ps = processState();
    const std::lock_guard lock(ps.listMutex);
    c->previous = ps.last;
    if (ps.last != nullptr) ps.last->next = c;
    ps.last = c;
    if (ps.first == nullptr) ps.first = c;
    ++ps.count;
    return c;
}

ScConnection* lf_scFindConnection(HANDLE handle) {
    if (handle == nullptr) return nullptr;
    auto& ps = processState();
    const std::lock_guard lock(ps.listMutex);
    for (ScConnection* p = ps.first; p != nullptr; p = p->next) {
        if (p == handle) return p;
    }
    return nullptr;
}

void lf_scAddRef(ScConnection* connection) { connection->references.fetch_add(1); }

void lf_scRelease(ScConnection* connection) {
    if (connection->references.fetch_sub(1) == 1) delete connection;
}

bool lf_scMarkConnected(ScConnection* c) {
    c->connectionId = nextConnectionId();
    {
        const std::lock_guard lock(c->sendMutex);
        c->outgoing.clear();
        c->sendInProgress = false;
        c->writerStop = false;
    }
    if (c->transport == ScTransportKind::Tcp && c->disableNagle) platform::setNoDelay(c->socket, true);
    c->state = 2;
    if (c->transport == ScTransportKind::None) return true;
    // Each thread holds a reference of its own, given back as it ends.
    const auto start = [c](std::thread& thread, void (*body)(ScConnection*)) {
        lf_scAddRef(c);
        try {
            thread = std::thread(body, c);
            return true;
        } catch (const std::system_error&) {
            lf_scRelease(c);
            closeTransport(c);
            return false;
        }
    };
    return start(c->reader, readerLoop) && start(c->writer, writerLoop);
}

bool lf_scOpenTransport(ScConnection* c, ScFamily family, const std::string& address, const std::string& port) {
    auto& ps = processState();
    platform::SocketAddress target;
    if (family == ScFamily::Pipe) {
        const auto path = platform::pipeSocketPath(address);
        if (!path || !platform::unixAddress(path->string(), target)) return true;
        c->transport = ScTransportKind::Pipe;
        c->socket = platform::openUnixStreamSocket();
        if (c->socket == platform::kInvalidSocket) return true;
        ps.liveTransports.fetch_add(1);
        // A pipe whose server is busy (a full backlog) is waited for, as a
        // named pipe client waits for a free instance; a non-blocking connect
        // tells "busy" apart instead of blocking for as long as it lasts.
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(ps.timings.pipeBusyWaitMs.load());
        if (platform::setNonBlocking(c->socket, true) != 0) return true;
        while (platform::connectSocket(c->socket, target) != 0) {
            if (platform::wsaLastError() != platform::kWsaEwouldblock ||
                std::chrono::steady_clock::now() >= deadline)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        if (platform::setNonBlocking(c->socket, false) != 0) return true;
    } else {
        startWinsock();
        const auto f = family == ScFamily::IPv6 ? platform::Family::IPv6 : platform::Family::IPv4;
        if (platform::resolveAddress(address, port, f, false, target) != 0) return true;
        c->transport = ScTransportKind::Tcp;
        c->socket = platform::openTcpSocket(f);
        if (c->socket == platform::kInvalidSocket) return true;
        ps.liveTransports.fetch_add(1);
        if (platform::connectSocketTimeout(c->socket, target, ps.timings.connectTimeoutMs.load()) != 0) return true;
    }
    return !lf_scMarkConnected(c);
}

void lf_scTransportFailed(ScConnection* c, ScFailureKind kind, int lastError, HRESULT code) {
    bool first = false;
    {
        const std::lock_guard lock(c->queueMutex);
        if (!c->failed.load()) {
            c->failureKind = kind;
            c->lastError = lastError;
            c->failureCode = code;
            c->failed = true;
            first = true;
        }
    }
    if (first) {
        gf_logWarning(skh::format("SimConnect transport failed: kind {}, code 0x{:08X}, error {}",
                                  static_cast<std::uint32_t>(kind), static_cast<std::uint32_t>(code), lastError));
    }
    closeTransport(c);
}

void lf_scCommitPacket(ScConnection* c) {
    if (c->buildUsed == 0) return;
    ScOutgoingBlock block{std::vector<std::byte>(c->build.get(), c->build.get() + c->buildUsed), c->connectionId};
    c->buildUsed = 0;
    if (c->state.load() != 2) return;  // not connected: dropped
    {
        const std::lock_guard lock(c->sendMutex);
        if (c->writerStop) return;
        c->outgoing.push_back(std::move(block));
    }
    c->sendCv.notify_all();
}

void lf_scCloseConnection(ScConnection* c) {
    auto& ps = processState();
    {
        const std::lock_guard lock(ps.packetMutex);
        lf_scCommitPacket(c);
    }
    if (c->transport != ScTransportKind::None) {
        // Give queued packets their chance to leave (at most the flush wait).
        std::unique_lock lock(c->sendMutex);
        c->sendCv.wait_for(lock, std::chrono::milliseconds(ps.timings.flushWaitMs.load()),
                           [c] { return c->writerStop || (c->outgoing.empty() && !c->sendInProgress); });
    }
    {
        const std::lock_guard lock(c->queueMutex);
        c->closing = true;
        c->received.clear();
        c->receivedCount = 0;
    }
    unlink(c);
    closeTransport(c);
    joinIoThreads(c);
    lf_scRelease(c);
    sleepMs(ps.timings.settleWaitMs.load());
    bool cleanup = false;
    {
        const std::lock_guard lock(ps.listMutex);
        cleanup = ps.count == 0;
    }
    if (!cleanup) return;
    for (int i = 0; i < ps.timings.cleanupSteps.load() && ps.liveTransports.load() > 0; ++i)
        sleepMs(ps.timings.cleanupStepMs.load());
    const std::lock_guard lock(ps.listMutex);
    if (ps.winsockStarted && ps.count == 0) {
        platform::wsaCleanup();
        ps.winsockStarted = false;  // so the next connect starts it again
    }
}

bool lf_scReceiveBytes(ScConnection* c, std::span<const std::byte> bytes) {
    while (!bytes.empty()) {
        if (c->failed.load()) return false;
        std::span<std::byte> space;
        try {
            space = c->framer.freeSpace();
        } catch (const std::bad_alloc&) {
            lf_scTransportFailed(c, ScFailureKind::NoMemory, 0, kScOutOfMemory);
            return false;
        }
        if (space.empty()) {
            lf_scTransportFailed(c, ScFailureKind::TooLarge, 0, kScAbort);
            return false;
        }
        const std::size_t n = std::min(space.size(), bytes.size());
        std::memcpy(space.data(), bytes.data(), n);
        bytes = bytes.subspan(n);
        if (!takeBytes(c, n)) return false;
    }
    return !c->failed.load();
}

ScConnection* gf_scOpenUnattached(std::uint32_t maxReceiveSize) {
    ScConnection* c = lf_scCreateConnection(ScTransportKind::None, maxReceiveSize, false);
    lf_scMarkConnected(c);
    return c;
}

std::vector<ScOutgoingBlock> gf_scTakeOutgoing(HANDLE handle) {
    std::vector<ScOutgoingBlock> blocks;
    ScConnection* c = lf_scFindConnection(handle);
    if (c == nullptr) return blocks;
    const std::lock_guard lock(c->sendMutex);
    blocks.reserve(c->outgoing.size());
    for (auto& b : c->outgoing) blocks.push_back(std::move(b));
    c->outgoing.clear();
    return blocks;
}

bool gf_scTransportFailed(HANDLE handle) {
    if (handle == nullptr) return false;
    auto& ps = processState();
    // Read while listed: a listed connection still holds its caller's reference.
    const std::lock_guard lock(ps.listMutex);
    for (ScConnection* p = ps.first; p != nullptr; p = p->next) {
        if (p == handle) return p->failed.load();
    }
    return false;
}

int gf_scConnectionCount() {
    auto& ps = processState();
    const std::lock_guard lock(ps.listMutex);
    return ps.count;
}

int gf_scLiveConnectionObjects() { return processState().liveObjects.load(); }

int gf_scLiveTransports() { return processState().liveTransports.load(); }

bool gf_scWinsockStarted() {
    auto& ps = processState();
    const std::lock_guard lock(ps.listMutex);
    return ps.winsockStarted;
}

}  // namespace skh
