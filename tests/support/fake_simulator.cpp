#include "support/fake_simulator.hpp"

#include <cmath>
#include <cstring>

#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/text.hpp"
#include "platform/codepage.hpp"
#include "platform/cpu_time.hpp"
#include "platform/net.hpp"
#include "platform/pipe_path.hpp"
#include "simconnect/messages.hpp"

namespace skh::test {

namespace {

using namespace std::chrono_literals;
namespace net = skh::platform;

constexpr std::uint32_t kExceptionError = 1;
constexpr std::uint32_t kExceptionUnrecognizedId = 3;
constexpr double kMetresPerNm = 1852.0;
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

std::uint32_t u32At(std::span<const std::byte> m, std::size_t offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, m.data() + offset, 4);
    return v;
}

double numberOf(const FakeValue& v) {
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    return 0.0;
}

std::string textOf(const FakeValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    return {};
}

std::size_t fixedStringSize(ScDatumType type) {
    switch (type) {
        case ScDatumType::String8: return 8;
        case ScDatumType::String32: return 32;
        case ScDatumType::String64: return 64;
        case ScDatumType::String128: return 128;
        case ScDatumType::String256: return 256;
        case ScDatumType::String260: return 260;
        default: return 0;
    }
}

}  // namespace

struct FakeSimulator::Client {
    std::uint32_t number = 0;
    net::Socket socket = net::kInvalidSocket;
    std::mutex sendMutex;  // guards socket for senders
    std::atomic<bool> connected{true};
    std::atomic<bool> closeRequested{false};
    std::atomic<bool> resetRequested{false};
    // guarded by the simulator's mutex
    bool opened = false;
    std::uint32_t lastSendId = 0;
    std::map<std::uint32_t, std::string> subscriptions;  // client event id -> upper-case name
    std::map<std::uint32_t, std::string> clientEvents;   // client event id -> upper-case simulator event
    std::size_t requests = 0;
    std::map<std::uint32_t, std::vector<FakeDatum>> definitions;
};

FakeSimulator::FakeSimulator(FakeSimOptions options)
    : m_options(std::move(options)), m_nextObjectId(m_options.firstAiObjectId) {
    FakeObject user;
    user.id = m_options.userObjectId;
    user.values["PLANE LATITUDE"] = 47.4647;
    user.values["PLANE LONGITUDE"] = 8.5492;
    user.values["PLANE ALTITUDE"] = 1416.0;
    user.values["PLANE ALT ABOVE GROUND"] = 0.0;
    user.values["GROUND ALTITUDE"] = 1416.0;
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
        if (const auto path = net::pipeSocketPath("\\\\.\\pipe\\" + *m_options.pipeName)) {
            std::error_code ec;
            std::filesystem::create_directories(path->parent_path(), ec);
            std::filesystem::remove(*path, ec);
            net::SocketAddress address;
            const net::Socket s = net::openUnixStreamSocket();
            if (s != net::kInvalidSocket && net::unixAddress(path->string(), address) &&
                net::bindSocket(s, address) == 0 && net::listenSocket(s, 16) == 0) {
                m_pipePath = *path;
                m_listeners.push_back(s);
            } else if (s != net::kInvalidSocket) {
                net::closeSocket(s);
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
            const std::uint32_t size = u32At(buffer, pos);
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
    std::string error;
    const bool ok = decodeRequest(packet, request, error);
    request.client = client->number;
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        if (!ok) {
            m_errors.push_back(skh::format("client {}: {}", client->number, error));
            out.emplace_back(client, scExceptionMessage(kExceptionError, u32At(packet, 12), 0));
        } else {
            const std::uint32_t expected = client->lastSendId == 0xFFFFFFFFu ? 1 : client->lastSendId + 1;
            if (request.sendId != expected)
                m_errors.push_back(skh::format("client {}: send id {} after {}", client->number, request.sendId,
                                               client->lastSendId));
            client->lastSendId = request.sendId;
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
            out.emplace_back(client, scExceptionMessage(rule->second, request.sendId, 0));
            m_failNext.erase(rule);
        } else {
            answer(client, request, out);
        }
    }
    deliver(out);
}

void FakeSimulator::answer(const std::shared_ptr<Client>& client, const FakeRequest& r, Outbox& out) {
    auto fail = [&](std::uint32_t exception) {
        out.emplace_back(client, scExceptionMessage(exception, r.sendId, 0));
    };
    // The AI object a request names; an unknown one (or the user's) is refused.
    auto aiObject = [&]() -> FakeObject* {
        const auto object = m_objects.find(r.values.at(0));
        if (object != m_objects.end() && object->first != m_options.userObjectId) return &object->second;
        fail(kExceptionUnrecognizedId);
        return nullptr;
    };
    switch (r.id) {
        case ScRequestId::Open:
            client->opened = true;
            for (const Bytes& m : m_options.beforeOpenReply) out.emplace_back(client, m);
            out.emplace_back(client, scOpenMessage(m_options.applicationName, m_options.applicationVersion,
                                                   m_options.simConnectVersion));
            break;
        case ScRequestId::SubscribeToSystemEvent: {
            const std::string name = gf_upper(r.texts.at(0));
            client->subscriptions[r.values.at(0)] = name;
            if (name == "SIM")
                out.emplace_back(client, scEventMessage(kScUnused, r.values[0], m_options.simRunning ? 1 : 0));
            break;
        }
        case ScRequestId::MapClientEventToSimEvent:
            client->clientEvents[r.values.at(0)] = gf_upper(r.texts.at(0));
            break;
        case ScRequestId::TransmitClientEvent: {
            const auto object = m_objects.find(r.values.at(0));
            const auto event = client->clientEvents.find(r.values.at(1));
            if (object == m_objects.end() || event == client->clientEvents.end()) {
                fail(kExceptionUnrecognizedId);
                break;
            }
            object->second.events.push_back({event->second, r.values.at(2), r.values.at(3)});
            break;
        }
        case ScRequestId::AIReleaseControl:
            if (FakeObject* o = aiObject()) ++o->releases;
            break;
        case ScRequestId::AISetAircraftFlightPlan:
            if (FakeObject* o = aiObject()) o->flightPlan = platform::cp1252ToUtf8(r.texts.at(0));
            break;
        case ScRequestId::AddToDataDefinition:
            client->definitions[r.values.at(0)].push_back(
                {gf_upper(r.texts.at(0)), r.texts.at(1), static_cast<ScDatumType>(r.values.at(1))});
            break;
        case ScRequestId::RequestDataOnSimObject: {
            const std::uint32_t requestId = r.values[0], defineId = r.values[1];
            const std::uint32_t objectId = r.values[2] == kScObjectIdUser ? m_options.userObjectId : r.values[2];
            const auto period = static_cast<ScPeriod>(r.values[3]);
            std::erase_if(m_periodic, [&](const Periodic& p) {
                return p.client == client->number && p.requestId == requestId;
            });
            if (period == ScPeriod::Never) break;
            const auto object = m_objects.find(objectId);
            if (object == m_objects.end() || !client->definitions.contains(defineId)) {
                fail(kExceptionUnrecognizedId);
                break;
            }
            out.emplace_back(client, objectData(*client, false, requestId, defineId, object->second, 0, 0));
            if (period != ScPeriod::Once) m_periodic.push_back({client->number, requestId, defineId, objectId, period});
            break;
        }
        case ScRequestId::RequestDataOnSimObjectType: {
            const std::uint32_t requestId = r.values[0], defineId = r.values[1], radius = r.values[2];
            const auto type = static_cast<ScSimObjectType>(r.values[3]);
            if (!client->definitions.contains(defineId)) {
                fail(kExceptionUnrecognizedId);
                break;
            }
            const FakeObject& user = m_objects.at(m_options.userObjectId);
            auto position = [](const FakeObject& o) {
                const auto lat = o.values.find("PLANE LATITUDE");
                const auto lon = o.values.find("PLANE LONGITUDE");
                return GeoPos{lat == o.values.end() ? 0.0 : numberOf(lat->second),
                              lon == o.values.end() ? 0.0 : numberOf(lon->second)};
            };
            std::vector<const FakeObject*> found;
            for (const auto& [id, o] : m_objects) {
                const bool isUser = id == m_options.userObjectId;
                if (type == ScSimObjectType::User && !isUser) continue;
                if (type != ScSimObjectType::All && type != ScSimObjectType::User && o.type != type) continue;
                if (radius == 0 ? !isUser
                                : gf_distanceNm(position(user), position(o)) * kMetresPerNm > static_cast<double>(radius))
                    continue;
                found.push_back(&o);
            }
            for (std::size_t i = 0; i < found.size(); ++i) {
                out.emplace_back(client, objectData(*client, true, requestId, defineId, *found[i],
                                                    static_cast<std::uint32_t>(i + 1),
                                                    static_cast<std::uint32_t>(found.size())));
            }
            break;
        }
        case ScRequestId::SetDataOnSimObject:
            if (!m_objects.contains(r.values.at(1)) || !client->definitions.contains(r.values.at(0))) {
                fail(kExceptionUnrecognizedId);
                break;
            }
            applyData(*client, r);
            break;
        case ScRequestId::AICreateNonATCAircraft: {
            FakeObject o;
            o.id = m_nextObjectId++;
            o.values["TITLE"] = platform::cp1252ToUtf8(r.texts.at(0));
            o.values["ATC ID"] = platform::cp1252ToUtf8(r.texts.at(1));
            o.values["PLANE LATITUDE"] = static_cast<double>(r.initPos.Latitude);  // a packed field: by value
            o.values["PLANE LONGITUDE"] = static_cast<double>(r.initPos.Longitude);  // a packed field: by value
            o.values["PLANE ALTITUDE"] = static_cast<double>(r.initPos.Altitude);  // a packed field: by value
            o.values["PLANE PITCH DEGREES"] = r.initPos.Pitch * kDegToRad;
            o.values["PLANE BANK DEGREES"] = r.initPos.Bank * kDegToRad;
            o.values["PLANE HEADING DEGREES TRUE"] = r.initPos.Heading * kDegToRad;
            o.values["SIM ON GROUND"] = std::int64_t{r.initPos.OnGround != 0 ? 1 : 0};
            o.values["GROUND ALTITUDE"] = 0.0;
            o.values["PLANE ALT ABOVE GROUND"] = r.initPos.OnGround != 0 ? 0.0 : r.initPos.Altitude;
            out.emplace_back(client, scAssignedObjectIdMessage(r.values.at(0), o.id));
            const std::uint32_t id = o.id;
            m_objects[id] = std::move(o);
            toSubscribers("OBJECTADDED", [id](std::uint32_t eventId) {
                return scObjectAddRemoveMessage(eventId, id, ScSimObjectType::Aircraft);
            }, out);
            break;
        }
        case ScRequestId::AIRemoveObject: {
            const std::uint32_t id = r.values.at(0);
            if (id == m_options.userObjectId || m_objects.erase(id) == 0) {
                fail(kExceptionUnrecognizedId);
                break;
            }
            toSubscribers("OBJECTREMOVED", [id](std::uint32_t eventId) {
                return scObjectAddRemoveMessage(eventId, id, ScSimObjectType::Aircraft);
            }, out);
            break;
        }
        default:
            break;  // recorded only
    }
}

Bytes FakeSimulator::objectData(const Client& client, bool byType, std::uint32_t requestId, std::uint32_t defineId,
                                const FakeObject& object, std::uint32_t entry, std::uint32_t outOf) const {
    WireWriter w;
    const auto& datums = client.definitions.at(defineId);
    for (const FakeDatum& d : datums) {
        const auto it = object.values.find(d.name);
        const FakeValue value = it == object.values.end() ? FakeValue{0.0} : it->second;
        switch (d.type) {
            case ScDatumType::Int32: w.i32(static_cast<std::int32_t>(numberOf(value))); break;
            case ScDatumType::Int64: w.i64(static_cast<std::int64_t>(numberOf(value))); break;
            case ScDatumType::Float32: w.f32(static_cast<float>(numberOf(value))); break;
            case ScDatumType::Float64: w.f64(numberOf(value)); break;
            case ScDatumType::StringV: w.stringV(platform::utf8ToCp1252(textOf(value))); break;
            default: w.fixed(platform::utf8ToCp1252(textOf(value)), fixedStringSize(d.type)); break;
        }
    }
    return scObjectDataMessage(byType, requestId, object.id, defineId, 0, entry, outOf,
                               static_cast<std::uint32_t>(datums.size()), w.bytes());
}

void FakeSimulator::applyData(const Client& client, const FakeRequest& r) {
    FakeObject& object = m_objects.at(r.values.at(1));
    const auto& datums = client.definitions.at(r.values.at(0));
    std::size_t pos = 0;
    for (const FakeDatum& d : datums) {
        if (d.type == ScDatumType::Float64 && pos + 8 <= r.data.size()) {
            double v = 0;
            std::memcpy(&v, r.data.data() + pos, 8);
            object.values[d.name] = v;
            pos += 8;
        } else if (d.type == ScDatumType::Int64 && pos + 8 <= r.data.size()) {
            std::int64_t v = 0;
            std::memcpy(&v, r.data.data() + pos, 8);
            object.values[d.name] = v;
            pos += 8;
        } else {
            break;  // other kinds are not written by the client
        }
    }
    // The ground stays where it is: a new altitude is a new height above it.
    const auto altitude = object.values.find("PLANE ALTITUDE");
    if (altitude != object.values.end()) {
        const auto ground = object.values.find("GROUND ALTITUDE");
        object.values["PLANE ALT ABOVE GROUND"] =
            std::max(0.0, numberOf(altitude->second) - (ground == object.values.end() ? 0.0 : numberOf(ground->second)));
    }
}

void FakeSimulator::toSubscribers(const std::string& eventName,
                                  const std::function<Bytes(std::uint32_t eventId)>& make, Outbox& out) {
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

std::vector<std::string> FakeSimulator::protocolErrors() const {
    const std::lock_guard lock(m_mutex);
    return m_errors;
}

std::size_t FakeSimulator::clientCount() const {
    const std::lock_guard lock(m_mutex);
    return m_clients.size();
}

std::size_t FakeSimulator::connectedClients() const { return liveClients().size(); }

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

bool FakeSimulator::waitForDisconnect(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [&] {
        for (const auto& c : m_clients) {
            if (c->connected.load()) return false;
        }
        return true;
    });
}

void FakeSimulator::setSimRunning(bool running) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        m_options.simRunning = running;
        toSubscribers("SIM", [running](std::uint32_t eventId) {
            return scEventMessage(kScUnused, eventId, running ? 1 : 0);
        }, out);
    }
    deliver(out);
}

void FakeSimulator::sendSystemEvent(const std::string& name, std::uint32_t data) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        toSubscribers(gf_upper(name), [data](std::uint32_t eventId) {
            return scEventMessage(kScUnused, eventId, data);
        }, out);
    }
    deliver(out);
}

void FakeSimulator::sendFrame(float frameRate, float simSpeed) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        toSubscribers("FRAME", [&](std::uint32_t eventId) { return scFrameMessage(eventId, frameRate, simSpeed); },
                      out);
        for (const Periodic& p : m_periodic) {
            if (p.period != ScPeriod::VisualFrame && p.period != ScPeriod::SimFrame) continue;
            const auto client = m_clients.at(p.client - 1);
            const auto object = m_objects.find(p.objectId);
            if (client->connected.load() && object != m_objects.end())
                out.emplace_back(client, objectData(*client, false, p.requestId, p.defineId, object->second, 0, 0));
        }
    }
    deliver(out);
}

void FakeSimulator::startFrames(double perSecond) {
    stopFrames();
    m_framesOn = true;
    m_frameThread = std::thread([this, perSecond] {
        double cpu = net::threadCpuSeconds();
        const auto step = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(1.0 / std::max(perSecond, 0.1)));
        auto next = std::chrono::steady_clock::now();
        while (m_framesOn.load() && !m_stop.load()) {
            sendFrame(static_cast<float>(perSecond), 1.0f);
            addCpu(cpu);
            next += step;
            std::this_thread::sleep_until(next);
        }
        addCpu(cpu);
    });
}

void FakeSimulator::stopFrames() {
    m_framesOn = false;
    if (m_frameThread.joinable()) m_frameThread.join();
}

void FakeSimulator::tickSecond() {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        for (const Periodic& p : m_periodic) {
            if (p.period != ScPeriod::Second) continue;
            const auto client = m_clients.at(p.client - 1);
            const auto object = m_objects.find(p.objectId);
            if (client->connected.load() && object != m_objects.end())
                out.emplace_back(client, objectData(*client, false, p.requestId, p.defineId, object->second, 0, 0));
        }
    }
    deliver(out);
}

void FakeSimulator::putObject(FakeObject object) {
    const std::lock_guard lock(m_mutex);
    m_objects[object.id] = std::move(object);
}

void FakeSimulator::setValue(std::uint32_t objectId, const std::string& datumName, FakeValue value) {
    const std::lock_guard lock(m_mutex);
    m_objects[objectId].id = objectId;
    m_objects[objectId].values[gf_upper(datumName)] = std::move(value);
}

std::optional<FakeObject> FakeSimulator::object(std::uint32_t objectId) const {
    const std::lock_guard lock(m_mutex);
    const auto it = m_objects.find(objectId);
    if (it == m_objects.end()) return std::nullopt;
    return it->second;
}

void FakeSimulator::removeObject(std::uint32_t objectId) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        if (m_objects.erase(objectId) == 0) return;
        toSubscribers("OBJECTREMOVED", [objectId](std::uint32_t eventId) {
            return scObjectAddRemoveMessage(eventId, objectId, ScSimObjectType::Aircraft);
        }, out);
    }
    deliver(out);
}

std::vector<FakeDatum> FakeSimulator::definition(std::uint32_t client, std::uint32_t defineId) const {
    const std::lock_guard lock(m_mutex);
    if (client == 0 || client > m_clients.size()) return {};
    const auto& defs = m_clients[client - 1]->definitions;
    const auto it = defs.find(defineId);
    return it == defs.end() ? std::vector<FakeDatum>{} : it->second;
}

void FakeSimulator::sendException(std::uint32_t exception, std::uint32_t sendId, std::uint32_t index) {
    const Bytes message = scExceptionMessage(exception, sendId, index);
    for (const auto& c : liveClients()) send(*c, message);
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

void FakeSimulator::closeClients() {
    for (const auto& c : liveClients()) c->closeRequested = true;
    waitForDisconnect(2s);
}

void FakeSimulator::resetClients() {
    for (const auto& c : liveClients()) c->resetRequested = true;
    waitForDisconnect(2s);
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

namespace skh::test {

std::vector<FakeObject> FakeSimulator::objectsWithAtcId(const std::string& atcId) const {
    std::vector<FakeObject> found;
    const std::lock_guard lock(m_mutex);
    for (const auto& [id, o] : m_objects) {
        const auto it = o.values.find("ATC ID");
        if (it != o.values.end() && textOf(it->second) == atcId) found.push_back(o);
    }
    return found;
}

void FakeSimulator::moveUser(double lat, double lon) {
    const std::lock_guard lock(m_mutex);
    FakeObject& user = m_objects[m_options.userObjectId];
    user.values["PLANE LATITUDE"] = lat;
    user.values["PLANE LONGITUDE"] = lon;
}

void FakeSimulator::teleportUser(double nm, double bearingDeg) {
    const std::lock_guard lock(m_mutex);
    FakeObject& user = m_objects[m_options.userObjectId];
    const GeoPos from{numberOf(user.values["PLANE LATITUDE"]), numberOf(user.values["PLANE LONGITUDE"])};
    const GeoPos to = gf_destinationPoint(from, bearingDeg * kDegToRad, nm * kMetresPerNm / 0.3048);
    user.values["PLANE LATITUDE"] = to.lat;
    user.values["PLANE LONGITUDE"] = to.lon;
}

void FakeSimulator::positionChanged() { sendSystemEvent("PositionChanged", 0); }

void FakeSimulator::loadFlight(const std::string& path) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        toSubscribers("FLIGHTLOADED", [&](std::uint32_t eventId) {
            return scFilenameMessage(eventId, platform::utf8ToCp1252(path), 0);
        }, out);
    }
    deliver(out);
}

void FakeSimulator::quit() {
    const Bytes message = scQuitMessage();
    const auto clients = liveClients();
    for (const auto& c : clients) send(*c, message);
    for (const auto& c : clients) c->closeRequested = true;
    waitForDisconnect(2s);
}

void FakeSimulator::setApplicationName(const std::string& name) {
    const std::lock_guard lock(m_mutex);
    m_options.applicationName = name;
}

void FakeSimulator::sendTooShort(ScRecvId id) {
    const std::uint32_t minimum = gf_scMinimumSize(static_cast<std::uint32_t>(id));
    const std::size_t body = minimum > 16 ? minimum - 16 : 0;
    sendRaw(scMessage(id, Bytes(body)));
}

void FakeSimulator::sendUnknownId(std::uint32_t id) { sendRaw(scMessage(static_cast<ScRecvId>(id), Bytes(8))); }

void FakeSimulator::sendObjectDataFor(const FakeObject& object, std::uint32_t requestId, std::uint32_t defineId,
                                      bool byType) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        for (const auto& c : m_clients) {
            if (c->connected.load() && c->definitions.contains(defineId))
                out.emplace_back(c, objectData(*c, byType, requestId, defineId, object, byType ? 1 : 0, byType ? 1 : 0));
        }
    }
    deliver(out);
}

}  // namespace skh::test
