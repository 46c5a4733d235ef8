// The fake simulator's connections: listening, one thread per client that
// cuts the byte stream into packets, the send-id check, hooks and trace,
// delivery of the answers, and the commands that act on the connections.
// The answers themselves come from the model (fake_sim_model.cpp).
#include "support/fake_simulator.hpp"

#include <algorithm>

#include "foundation/format.hpp"
#include "platform/cpu_time.hpp"
#include "platform/pipe_path.hpp"
#include "simconnect/messages.hpp"
#include "support/fake_sim_internal.hpp"

namespace skh::test {

namespace {

using namespace std::chrono_literals;
namespace net = skh::platform;

// Closing and quitting wait this long for the clients to see it.
constexpr auto kCloseWait = 10s;

}  // namespace

FakeSimulator::FakeSimulator(FakeSimOptions options)
    : m_options(std::move(options)), m_nextObjectId(m_options.firstAiObjectId) {
    FakeObject user;
    user.id = m_options.userObjectId;
    user.values["PLANE LATITUDE"] = 47.4647;
    user.values["PLANE LONGITUDE"] = 8.5492;
    user.values["PLANE ALTITUDE"] = m_options.groundElevationFt;
    user.values["PLANE ALT ABOVE GROUND"] = 0.0;
    user.values["GROUND ALTITUDE"] = m_options.groundElevationFt;
    user.values["GROUND VELOCITY"] = 0.0;
    user.values["SIM ON GROUND"] = std::int64_t{1};
    user.values["ZULU TIME"] = std::int64_t{43200};
    user.values["ZULU DAY OF YEAR"] = std::int64_t{152};
    user.values["ZULU YEAR"] = std::int64_t{2024};
    user.values["TITLE"] = std::string("Default User Aircraft");
    user.values["ATC MODEL"] = std::string("B738");
    user.values["ATC ID"] = std::string("N737SK");
    m_objects[user.id] = user;

    auto listen = [this](net::Family family, const std::string& host, int& port) {
        net::SocketAddress address;
        if (net::resolveAddress(host, "0", family, true, address) != 0) return;
        const net::Socket s = net::openTcpSocket(family);
        if (s == net::kInvalidSocket) return;
        net::setReuseAddress(s, true);
        if (net::bindSocket(s, address) != 0 || net::listenSocket(s, 16) != 0) {
            net::closeSocket(s);
            return;
        }
        port = net::localPort(s);
        m_listeners.push_back(s);
    };
    if (m_options.ipv4) listen(net::Family::IPv4, "127.0.0.1", m_ipv4Port);
    if (m_options.ipv6) listen(net::Family::IPv6, "::1", m_ipv6Port);
    if (m_options.pipeName) {
        const auto path = net::pipeSocketPath("\\\\.\\pipe\\" + *m_options.pipeName);
        std::error_code ec;
        if (!path) {
            m_pipeProblem = "not a name of a pipe on this machine (an empty, '.' or '..' part, or too long a path)";
        } else if (std::filesystem::create_directories(path->parent_path(), ec); ec) {
            m_pipeProblem = skh::format("cannot make the folder {}: {}", path->parent_path().string(), ec.message());
        } else {
            std::filesystem::remove(*path, ec);
            net::SocketAddress address;
            const net::Socket s = net::openUnixStreamSocket();
            if (s != net::kInvalidSocket && net::unixAddress(path->string(), address) &&
                net::bindSocket(s, address) == 0 && net::listenSocket(s, 16) == 0) {
                m_pipePath = *path;
                m_listeners.push_back(s);
            } else {
                m_pipeProblem =
                    skh::format("cannot listen at {}: {}", path->string(), net::wsaErrorText(net::wsaLastError()));
                if (s != net::kInvalidSocket) net::closeSocket(s);
            }
        }
    }
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

FakeSimulator::~FakeSimulator() { stop(); }

void FakeSimulator::stop() {
    if (m_stop.exchange(true)) return;
    stopFrames();
    if (m_acceptThread.joinable()) m_acceptThread.join();
    std::vector<std::thread> threads;
    {
        const std::lock_guard lock(m_mutex);
        threads.swap(m_clientThreads);
    }
    for (auto& t : threads) t.join();
    for (const auto s : m_listeners) net::closeSocket(s);
    m_listeners.clear();
    if (!m_pipePath.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_pipePath, ec);
    }
}

void FakeSimulator::addCpu(double& last) {
    const double now = net::threadCpuSeconds();
    m_cpuSeconds.fetch_add(now - last);
    last = now;
}

double FakeSimulator::cpuSeconds() const { return m_cpuSeconds.load(); }

void FakeSimulator::acceptLoop() {
    double cpu = net::threadCpuSeconds();
    while (!m_stop.load()) {
        for (const auto listener : m_listeners) {
            if (net::waitReadable(listener, 10) != 1) continue;
            const net::Socket s = net::acceptSocket(listener);
            if (s == net::kInvalidSocket) continue;
            net::setNoDelay(s, true);  // fails harmlessly on the pipe
            auto client = std::make_shared<Client>();
            client->socket = s;
            const std::lock_guard lock(m_mutex);
            client->number = static_cast<std::uint32_t>(m_clients.size() + 1);
            m_clients.push_back(client);
            m_clientThreads.emplace_back([this, client] { clientLoop(client); });
            m_cv.notify_all();
        }
        if (m_listeners.empty()) std::this_thread::sleep_for(10ms);
        addCpu(cpu);
    }
}

void FakeSimulator::clientLoop(std::shared_ptr<Client> client) {
    double cpu = net::threadCpuSeconds();
    Bytes buffer;
    Bytes chunk(65536);
    bool reset = false;
    while (!m_stop.load()) {
        if (client->resetRequested.load()) {
            reset = true;
            break;
        }
        if (client->closeRequested.load()) break;
        const int ready = net::waitReadable(client->socket, 20);
        if (ready == 0) continue;
        if (ready < 0) break;
        const long n = net::recvSocket(client->socket, chunk.data(), chunk.size());
        if (n <= 0) break;
        buffer.insert(buffer.end(), chunk.begin(), chunk.begin() + n);
        std::size_t pos = 0;
        bool broken = false;
        while (buffer.size() - pos >= 4) {
            const std::uint32_t size = fake::u32At(buffer, pos);
            if (size < 16 || size > kScReceiveBufferMax) {
                const std::lock_guard lock(m_mutex);
                m_errors.push_back(skh::format("client {}: packet size {}", client->number, size));
                broken = true;
                break;
            }
            if (buffer.size() - pos < size) break;
            handlePacket(client, std::span<const std::byte>(buffer).subspan(pos, size));
            pos += size;
        }
        if (broken) break;
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(pos));
        addCpu(cpu);
    }
    {
        const std::lock_guard lock(client->sendMutex);
        if (reset) {
            net::setAbortiveClose(client->socket);
        } else {
            net::shutdownSocket(client->socket);
        }
        net::closeSocket(client->socket);
        client->socket = net::kInvalidSocket;
    }
    client->connected = false;
    {
        const std::lock_guard lock(m_mutex);
        m_cv.notify_all();
    }
    addCpu(cpu);
}

void FakeSimulator::handlePacket(const std::shared_ptr<Client>& client, std::span<const std::byte> packet) {
    if (client->closeRequested.load()) return;  // the simulator is leaving this client
    FakeRequest request;
    DecodeFailure failure;
    const bool ok = decodeRequest(packet, request, failure, DecodeRules{m_options.anyProtocolVersion});
    request.client = client->number;
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        // Every packet that carries a send id counts, refused ones too, so
        // that the next good one is not taken for a gap.
        const std::uint32_t sendId = fake::u32At(packet, 12);
        const std::uint32_t expected = client->lastSendId == 0xFFFFFFFFu ? 1 : client->lastSendId + 1;
        if (sendId != expected)
            m_errors.push_back(
                skh::format("client {}: send id {} after {}", client->number, sendId, client->lastSendId));
        client->lastSendId = sendId;
        client->anySendId = true;
        m_lastSendId = sendId;
        if (!ok) {
            m_errors.push_back(skh::format("client {}: {}", client->number, failure.reason));
            trace(skh::format("client {} #{} refused: {}", client->number, sendId, failure.reason));
            refuse(client, failure.exception, sendId, failure.index, out);
        } else {
            ++client->requests;
            if (m_options.quitAfterRequests != 0 && client->requests == m_options.quitAfterRequests) {
                out.emplace_back(client, scQuitMessage());
                client->closeRequested = true;
            }
            if (!client->opened && request.id != ScRequestId::Open)
                m_errors.push_back(skh::format("client {}: request 0x{:02X} before the open packet", client->number,
                                               static_cast<std::uint32_t>(request.id)));
            ++m_counts[request.id];
            ++m_total;
            if (m_options.keepRequests || request.id != ScRequestId::SetDataOnSimObject) m_requests.push_back(request);
            if (m_trace && (m_traceAll || request.id != ScRequestId::SetDataOnSimObject))
                trace(skh::format("client {} #{} {}", client->number, sendId, describeLocked(request)));
            m_cv.notify_all();
        }
    }
    if (!ok || client->closeRequested.load()) {
        deliver(out);
        return;
    }
    RequestHook hook;
    {
        const std::lock_guard lock(m_mutex);
        hook = m_hook;
    }
    if (hook && hook(*this, request)) return;
    {
        const std::lock_guard lock(m_mutex);
        const auto rule = m_failNext.find(request.id);
        if (rule != m_failNext.end()) {
            refuse(client, static_cast<ScException>(rule->second), request.sendId, 0, out);
            if (rule->second == static_cast<std::uint32_t>(ScException::CreateObjectFailed)) ++m_tally.refusedCreations;
            m_failNext.erase(rule);
        } else {
            answer(client, request, out);
        }
        m_cv.notify_all();
    }
    deliver(out);
}

void FakeSimulator::refuse(const std::shared_ptr<Client>& client, ScException exception, std::uint32_t sendId,
                           std::uint32_t index, Outbox& out) {
    out.emplace_back(client, scExceptionMessage(static_cast<std::uint32_t>(exception), sendId, index));
    ++m_tally.exceptionsSent;
    trace(skh::format("  -> exception {} for #{}", static_cast<std::uint32_t>(exception), sendId));
}

void FakeSimulator::trace(const std::string& line) {
    if (m_trace) m_trace(line);
}

void FakeSimulator::setTrace(TraceSink sink, bool withPositions) {
    const std::lock_guard lock(m_mutex);
    m_trace = std::move(sink);
    m_traceAll = withPositions;
}

std::string FakeSimulator::describe(const FakeRequest& request) const {
    const std::lock_guard lock(m_mutex);
    return describeLocked(request);
}

void FakeSimulator::toSubscribers(const std::string& eventName, const std::function<Bytes(std::uint32_t eventId)>& make,
                                  Outbox& out) {
    for (const auto& c : m_clients) {
        if (!c->connected.load()) continue;
        for (const auto& [eventId, name] : c->subscriptions) {
            if (name == eventName) out.emplace_back(c, make(eventId));
        }
    }
}

void FakeSimulator::deliver(Outbox& out) {
    for (auto& [client, bytes] : out) send(*client, bytes);
    out.clear();
}

void FakeSimulator::send(Client& client, std::span<const std::byte> bytes) {
    const std::lock_guard lock(client.sendMutex);
    if (client.socket != net::kInvalidSocket) net::sendAll(client.socket, bytes.data(), bytes.size());
}

std::vector<std::shared_ptr<FakeSimulator::Client>> FakeSimulator::liveClients() const {
    std::vector<std::shared_ptr<Client>> live;
    const std::lock_guard lock(m_mutex);
    for (const auto& c : m_clients) {
        if (c->connected.load()) live.push_back(c);
    }
    return live;
}

std::vector<FakeRequest> FakeSimulator::requests() const {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<FakeRequest> FakeSimulator::requestsOf(ScRequestId id) const {
    const std::lock_guard lock(m_mutex);
    std::vector<FakeRequest> out;
    for (const auto& r : m_requests) {
        if (r.id == id) out.push_back(r);
    }
    return out;
}

std::size_t FakeSimulator::requestCount() const {
    const std::lock_guard lock(m_mutex);
    return m_total;
}

std::size_t FakeSimulator::requestCount(ScRequestId id) const {
    const std::lock_guard lock(m_mutex);
    const auto it = m_counts.find(id);
    return it == m_counts.end() ? 0 : it->second;
}

std::map<ScRequestId, std::size_t> FakeSimulator::requestCounts() const {
    const std::lock_guard lock(m_mutex);
    return m_counts;
}

std::vector<std::string> FakeSimulator::protocolErrors() const {
    const std::lock_guard lock(m_mutex);
    return m_errors;
}

std::size_t FakeSimulator::clientCount() const {
    const std::lock_guard lock(m_mutex);
    return m_clients.size();
}

std::size_t FakeSimulator::connectedClients() const { return liveClients().size(); }

std::size_t FakeSimulator::openedClients() const {
    const std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(
        std::count_if(m_clients.begin(), m_clients.end(), [](const auto& c) { return c->opened; }));
}

std::uint32_t FakeSimulator::lastSendId() const {
    const std::lock_guard lock(m_mutex);
    return m_lastSendId;
}

bool FakeSimulator::waitForRequests(ScRequestId id, std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [&] {
        const auto it = m_counts.find(id);
        return it != m_counts.end() && it->second >= count;
    });
}

bool FakeSimulator::waitForClients(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [&] { return m_clients.size() >= count; });
}

bool FakeSimulator::waitForOpened(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(
                   std::count_if(m_clients.begin(), m_clients.end(), [](const auto& c) { return c->opened; })) >= count;
    });
}

bool FakeSimulator::waitForDisconnect(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [&] {
        for (const auto& c : m_clients) {
            if (c->connected.load()) return false;
        }
        return true;
    });
}

void FakeSimulator::sendException(std::uint32_t exception, std::uint32_t sendId, std::uint32_t index) {
    const Bytes message = scExceptionMessage(exception, sendId, index);
    const auto clients = liveClients();
    for (const auto& c : clients) send(*c, message);
    const std::lock_guard lock(m_mutex);
    m_tally.exceptionsSent += clients.size();
}

void FakeSimulator::failNext(ScRequestId id, std::uint32_t exception) {
    const std::lock_guard lock(m_mutex);
    m_failNext.emplace(id, exception);
}

void FakeSimulator::sendRaw(std::span<const std::byte> bytes, const std::vector<std::size_t>& chunks) {
    for (const auto& c : liveClients()) {
        std::size_t pos = 0;
        for (const std::size_t n : chunks) {
            if (pos >= bytes.size()) break;
            const std::size_t len = std::min(n, bytes.size() - pos);
            send(*c, bytes.subspan(pos, len));
            pos += len;
            std::this_thread::sleep_for(5ms);  // so the pieces arrive as reads of their own
        }
        if (pos < bytes.size()) send(*c, bytes.subspan(pos));
    }
}

void FakeSimulator::sendTooShort(ScRecvId id) {
    const std::uint32_t minimum = gf_scMinimumSize(static_cast<std::uint32_t>(id));
    const std::size_t body = minimum > 16 ? minimum - 16 : 0;
    sendRaw(scMessage(id, Bytes(body)));
}

void FakeSimulator::sendUnknownId(std::uint32_t id) { sendRaw(scMessage(static_cast<ScRecvId>(id), Bytes(8))); }

void FakeSimulator::closeClients() {
    for (const auto& c : liveClients()) c->closeRequested = true;
    waitForDisconnect(kCloseWait);
}

void FakeSimulator::resetClients() {
    for (const auto& c : liveClients()) c->resetRequested = true;
    waitForDisconnect(kCloseWait);
}

void FakeSimulator::quit() {
    const Bytes message = scQuitMessage();
    const auto clients = liveClients();
    for (const auto& c : clients) send(*c, message);
    for (const auto& c : clients) c->closeRequested = true;
    waitForDisconnect(kCloseWait);
}

void FakeSimulator::setRequestHook(RequestHook hook) {
    const std::lock_guard lock(m_mutex);
    m_hook = std::move(hook);
}

void FakeSimulator::reply(std::uint32_t client, std::span<const std::byte> message) {
    std::shared_ptr<Client> target;
    {
        const std::lock_guard lock(m_mutex);
        if (client == 0 || client > m_clients.size()) return;
        target = m_clients[client - 1];
    }
    send(*target, message);
}

}  // namespace skh::test
