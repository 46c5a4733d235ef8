#pragma once
// A fake simulator: a SimConnect server on loopback TCP (IPv4 and/or IPv6, on
// free ports) and on the named-pipe stand-in. It decodes every packet
// strictly, records it, and answers from a small model of the simulator:
//   - the open reply (application name and version);
//   - system event subscriptions; "Sim" is also sent once at subscription
//     with the current state; frames on demand or at a rate;
//   - data definitions and data requests (once, every second, every frame)
//     and requests by type within a radius of the user aircraft, from the
//     datum values of its objects;
//   - the user aircraft with its position, ground state, time of day, title
//     and model; AI creation (assigned object id, then ObjectAdded), removal
//     (ObjectRemoved), data set on objects, client events, AI control
//     releases and flight plans recorded per object;
//   - PositionChanged, FlightLoaded (a file name event) and quit;
//   - exceptions on command or for the next request of a kind;
//   - on command, bad input: messages before the open reply, too short,
//     with unknown ids, data for unknown objects, a teleport of the user
//     aircraft, a quit in the middle of the set-up;
//   - raw bytes in any chunking, peer close and connection reset.
// Hooks let later tests answer requests their own way. No test framework
// here: the standalone fake-simulator program is built from it too.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "support/sc_wire.hpp"

namespace skh::test {

struct FakeSimOptions {
    bool ipv4 = true;
    bool ipv6 = false;
    // The pipe's name below "\\.\pipe\" (e.g. the default
    // "Lockheed Martin Prepar3D v5\SimConnect"); none: no pipe.
    std::optional<std::string> pipeName;
    std::string applicationName = "Lockheed Martin\xAE Prepar3D\xAE v5";  // Windows-1252 bytes
    std::array<std::uint32_t, 4> applicationVersion{5, 3, 12, 28584};
    std::array<std::uint32_t, 4> simConnectVersion{5, 3, 0, 0};
    bool simRunning = true;
    bool keepRequests = true;  // false: count only (long runs)
    std::uint32_t userObjectId = 1;
    std::uint32_t firstAiObjectId = 1000;
    // Sent to a client before its open reply (messages out of order).
    std::vector<Bytes> beforeOpenReply;
    // Quit and close a client once it has sent this many packets (0: never).
    std::size_t quitAfterRequests = 0;
};

// A datum value of a simulated object: numbers, or text (UTF-8, sent as Windows-1252).
using FakeValue = std::variant<double, std::int64_t, std::string>;

// A client event as the object received it.
struct FakeClientEvent {
    std::string event;  // the simulator event the client mapped it to
    std::uint32_t data = 0;
    std::uint32_t group = 0;
};

struct FakeObject {
    std::uint32_t id = 0;
    ScSimObjectType type = ScSimObjectType::Aircraft;
    std::map<std::string, FakeValue> values;  // datum name in upper case -> value
    std::vector<FakeClientEvent> events;
    std::uint32_t releases = 0;  // AI control released
    std::string flightPlan;      // path of the last flight plan set
};

struct FakeRequest : DecodedRequest {
    std::uint32_t client = 0;  // 1-based number of the client connection
};

struct FakeDatum {
    std::string name;  // upper case
    std::string units;
    ScDatumType type{};
};

class FakeSimulator {
public:
    explicit FakeSimulator(FakeSimOptions options = {});
    ~FakeSimulator();
    FakeSimulator(const FakeSimulator&) = delete;
    FakeSimulator& operator=(const FakeSimulator&) = delete;

    void stop();

    int ipv4Port() const { return m_ipv4Port; }
    int ipv6Port() const { return m_ipv6Port; }
    std::filesystem::path pipePath() const { return m_pipePath; }

    // What the clients sent.
    std::vector<FakeRequest> requests() const;
    std::vector<FakeRequest> requestsOf(ScRequestId id) const;
    std::size_t requestCount() const;
    std::size_t requestCount(ScRequestId id) const;
    std::vector<std::string> protocolErrors() const;
    std::size_t clientCount() const;           // connections accepted so far
    std::size_t connectedClients() const;      // connections still open
    bool waitForRequests(ScRequestId id, std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForClients(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForDisconnect(std::chrono::milliseconds timeout) const;  // until no client is connected

    // The model.
    void setSimRunning(bool running);  // and tell the "Sim" subscribers
    void sendSystemEvent(const std::string& name, std::uint32_t data);
    void sendFrame(float frameRate = 30.0f, float simSpeed = 1.0f);
    void startFrames(double perSecond);
    void stopFrames();
    void tickSecond();  // sends the data requested every second
    void putObject(FakeObject object);
    void setValue(std::uint32_t objectId, const std::string& datumName, FakeValue value);
    std::optional<FakeObject> object(std::uint32_t objectId) const;
    void removeObject(std::uint32_t objectId);  // and tell the "ObjectRemoved" subscribers
    std::vector<FakeDatum> definition(std::uint32_t client, std::uint32_t defineId) const;
    // Objects whose "ATC ID" is the text.
    std::vector<FakeObject> objectsWithAtcId(const std::string& atcId) const;
    void moveUser(double lat, double lon);
    // Moves the user aircraft by the distance (nm) towards the bearing (degrees).
    void teleportUser(double nm, double bearingDeg = 90.0);
    void positionChanged();                     // "PositionChanged"
    void loadFlight(const std::string& path);   // "FlightLoaded", as a file name event
    void quit();                                // the quit message, then the connection closes
    void setApplicationName(const std::string& name);  // for later open replies

    // Commands.
    void sendException(std::uint32_t exception, std::uint32_t sendId, std::uint32_t index);
    void failNext(ScRequestId id, std::uint32_t exception);  // answer the next such packet with an exception
    // Sends bytes to every client, cut into the given chunk sizes (the rest
    // in one piece), with a short pause between chunks.
    void sendRaw(std::span<const std::byte> bytes, const std::vector<std::size_t>& chunks = {});
    // A message of the kind whose size field and bytes fall 4 short of the kind's layout.
    void sendTooShort(ScRecvId id);
    // A message of an id the protocol does not have, with 8 zero bytes.
    void sendUnknownId(std::uint32_t id);
    // Data of an object that need not exist in the model, laid out by the
    // client's definition: object data, or (byType) one entry of a request by type.
    void sendObjectDataFor(const FakeObject& object, std::uint32_t requestId, std::uint32_t defineId, bool byType);
    void closeClients();  // orderly close by the simulator
    void resetClients();  // connection reset

    // A hook sees every decoded packet first; returning true skips the
    // model's own answer. It runs on the client's thread without the model's
    // lock and may call the methods above and reply().
    using RequestHook = std::function<bool(FakeSimulator&, const FakeRequest&)>;
    void setRequestHook(RequestHook hook);
    void reply(std::uint32_t client, std::span<const std::byte> message);

    // Processor time used by the fake's own threads.
    double cpuSeconds() const;

private:
    struct Client;
    struct Periodic {
        std::uint32_t client, requestId, defineId, objectId;
        ScPeriod period;
    };
    using Outbox = std::vector<std::pair<std::shared_ptr<Client>, Bytes>>;

    void acceptLoop();
    void clientLoop(std::shared_ptr<Client> client);
    void handlePacket(const std::shared_ptr<Client>& client, std::span<const std::byte> packet);
    void answer(const std::shared_ptr<Client>& client, const FakeRequest& request, Outbox& out);
    Bytes objectData(const Client& client, bool byType, std::uint32_t requestId, std::uint32_t defineId,
                     const FakeObject& object, std::uint32_t entry, std::uint32_t outOf) const;
    void applyData(const Client& client, const FakeRequest& request);
    void toSubscribers(const std::string& eventName, const std::function<Bytes(std::uint32_t eventId)>& make,
                       Outbox& out);
    void deliver(Outbox& out);
    void send(Client& client, std::span<const std::byte> bytes);
    void addCpu(double& last);
    std::vector<std::shared_ptr<Client>> liveClients() const;

    FakeSimOptions m_options;
    std::atomic<bool> m_stop{false};
    std::vector<std::intptr_t> m_listeners;
    int m_ipv4Port = -1;
    int m_ipv6Port = -1;
    std::filesystem::path m_pipePath;
    std::thread m_acceptThread;
    std::thread m_frameThread;
    std::atomic<bool> m_framesOn{false};

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::vector<std::shared_ptr<Client>> m_clients;
    std::vector<std::thread> m_clientThreads;
    std::vector<FakeRequest> m_requests;
    std::map<ScRequestId, std::size_t> m_counts;
    std::size_t m_total = 0;
    std::vector<std::string> m_errors;
    std::map<std::uint32_t, FakeObject> m_objects;
    std::vector<Periodic> m_periodic;
    std::multimap<ScRequestId, std::uint32_t> m_failNext;
    std::uint32_t m_nextObjectId;
    RequestHook m_hook;
    std::atomic<double> m_cpuSeconds{0.0};
};

}  // namespace skh::test
