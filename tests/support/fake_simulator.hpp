#pragma once
// A fake simulator: a SimConnect server on loopback TCP (IPv4 and/or IPv6, on
// free ports) and on the named-pipe stand-in. It decodes every packet
// strictly, records it, and answers from a small model of the simulator:
//   - the open reply (application name and version);
//   - system event subscriptions; "Sim" is also sent once at subscription
//     with the current state; frames on demand or at a rate; pause;
//   - data definitions and data requests (once, every second, every frame,
//     with the CHANGED flag, origin, interval and limit) and requests by type
//     within a radius of the user aircraft, from the datum values of its
//     objects;
//   - the user aircraft with its position, ground state, time of day, title
//     and model; AI creation (object ids from 1000, then ObjectAdded) on flat
//     terrain with a static centre of gravity, refused titles, removal
//     (ObjectRemoved), data set on objects, client events, AI control
//     releases and flight plans recorded per object; a log of every client
//     event and each object's last position;
//   - PositionChanged, FlightLoaded (a file name event) and quit;
//   - exceptions with the protocol's numbers for refused packets, on command,
//     or for the next request of a kind;
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
#include <set>
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
    bool reuseObjectIds = false;  // a new object takes the lowest free id, as a removed one's
    // Flat terrain everywhere (feet); AI aircraft stand on it with their
    // static centre of gravity above it.
    double groundElevationFt = 1416.0;
    // Protocol 35 and the program's own open packet only, unless any header
    // version from 2 up is accepted (other clients).
    bool anyProtocolVersion = false;
    // Sent to a client before its open reply (messages out of order).
    std::vector<Bytes> beforeOpenReply;
    // Quit and close a client once it has sent this many packets (0: never).
    std::size_t quitAfterRequests = 0;
};

// What every AI aircraft of the fake reports as its static centre of gravity.
inline constexpr double kFakeStaticCgFt = 9.0;
inline constexpr double kFakeStaticPitchRad = 0.005;
// An aircraft this close above the ground (feet) is on it.
inline constexpr double kFakeOnGroundFt = 0.5;

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

// One client event as it arrived, whether the object existed or not.
struct FakeEventRecord {
    std::uint32_t objectId = 0;
    std::string event;  // the mapped simulator event, or "#<id>" when unmapped
    std::uint32_t data = 0;
    bool accepted = false;  // false: refused with an exception
};

// Where an AI object was last, kept after its removal.
struct FakeLastPosition {
    std::string atcId;
    std::string title;
    double latitude = 0.0, longitude = 0.0, altitude = 0.0;  // degrees, feet
    double heading = 0.0;                                    // degrees true
    bool onGround = false;
    bool removed = false;
    // How the client moved it: the largest change between two of its
    // position writes, which shows a jump where motion should be smooth.
    std::size_t moves = 0;
    double largestStepM = 0.0;
    double largestClimbFt = 0.0;  // altitude change, either way
};

struct FakeRequest : DecodedRequest {
    std::uint32_t client = 0;  // 1-based number of the client connection
};

struct FakeDatum {
    std::string name;  // upper case
    std::string units;
    ScDatumType type{};
};

// Counts of the model's life, for summaries.
struct FakeSimCounts {
    std::size_t created = 0;
    std::size_t refusedCreations = 0;
    std::size_t removedByClient = 0;
    std::size_t removedBySimulator = 0;
    std::size_t liveObjects = 0;  // AI objects now
    std::size_t exceptionsSent = 0;
};

// The request kind's name ("AICreateNonATCAircraft").
std::string gf_fakeRequestName(ScRequestId id);

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
    // Why the pipe asked for is not served; empty when it is or none was asked.
    const std::string& pipeProblem() const { return m_pipeProblem; }

    // What the clients sent.
    std::vector<FakeRequest> requests() const;
    std::vector<FakeRequest> requestsOf(ScRequestId id) const;
    std::size_t requestCount() const;
    std::size_t requestCount(ScRequestId id) const;
    std::map<ScRequestId, std::size_t> requestCounts() const;
    std::vector<std::string> protocolErrors() const;
    std::size_t clientCount() const;       // connections accepted so far
    std::size_t connectedClients() const;  // connections still open
    std::size_t openedClients() const;     // connections that sent their open packet
    std::uint32_t lastSendId() const;      // of the last packet of the last client that sent one
    bool waitForRequests(ScRequestId id, std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForClients(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForOpened(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForDisconnect(std::chrono::milliseconds timeout) const;  // until no client is connected

    // The model.
    void setSimRunning(bool running);  // and tell the "Sim" subscribers
    // No frames and no data by frame or second while paused; "Pause" tells it.
    void setPaused(bool paused);
    bool paused() const;
    void sendSystemEvent(const std::string& name, std::uint32_t data);
    void sendFrame(float frameRate = 30.0f, float simSpeed = 1.0f);
    void startFrames(double perSecond);
    void stopFrames();
    void tickSecond();  // sends the data requested every second
    void putObject(FakeObject object);
    void setValue(std::uint32_t objectId, const std::string& datumName, FakeValue value);
    std::optional<FakeObject> object(std::uint32_t objectId) const;
    // Removes the object and tells the "ObjectRemoved" subscribers; with
    // `evenIfUnknown` the event goes out for an id the model does not have.
    void removeObject(std::uint32_t objectId, bool evenIfUnknown = false);
    std::vector<FakeDatum> definition(std::uint32_t client, std::uint32_t defineId) const;
    // Objects whose "ATC ID" is the text.
    std::vector<FakeObject> objectsWithAtcId(const std::string& atcId) const;
    std::vector<std::uint32_t> aiObjectIds() const;
    void moveUser(double lat, double lon);
    // The user aircraft at a place: on the ground, or in the air at `altitudeFt`.
    void placeUser(double lat, double lon, std::optional<double> altitudeFt, double headingDeg = 0.0,
                   double groundSpeedKt = 0.0);
    // Moves the user aircraft by the distance (nm) towards the bearing (degrees).
    void teleportUser(double nm, double bearingDeg = 90.0);
    void setGroundElevation(double feet);
    double groundElevation() const;
    void refuseTitle(const std::string& title);        // every creation of it fails with exception 22
    void positionChanged();                            // "PositionChanged"
    void loadFlight(const std::string& path);          // "FlightLoaded", as a file name event
    void quit();                                       // the quit message, then the connection closes
    void setApplicationName(const std::string& name);  // for later open replies

    // The logs of the model.
    std::vector<FakeEventRecord> clientEventLog() const;
    std::map<std::uint32_t, FakeLastPosition> lastPositions() const;
    FakeSimCounts counts() const;

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

    // One line for a person per packet received (and per exception sent
    // back); position updates only with `withPositions`. Called on the
    // client's thread; empty: no trace.
    using TraceSink = std::function<void(const std::string& line)>;
    void setTrace(TraceSink sink, bool withPositions = false);
    std::string describe(const FakeRequest& request) const;

    // Processor time used by the fake's own threads.
    double cpuSeconds() const;

private:
    struct Client;
    struct Periodic {
        std::uint32_t client, requestId, defineId, objectId;
        ScPeriod period;
        std::uint32_t flags, origin, interval, limit;
        std::uint64_t periods = 0;  // periods elapsed since the request
        std::uint32_t sent = 0;
        Bytes last;  // the data last sent, for CHANGED
    };
    using Outbox = std::vector<std::pair<std::shared_ptr<Client>, Bytes>>;

    void acceptLoop();
    void clientLoop(std::shared_ptr<Client> client);
    void handlePacket(const std::shared_ptr<Client>& client, std::span<const std::byte> packet);
    void answer(const std::shared_ptr<Client>& client, const FakeRequest& request, Outbox& out);
    void answerDataRequest(const std::shared_ptr<Client>& client, const FakeRequest& r, Outbox& out);
    void answerByType(const std::shared_ptr<Client>& client, const FakeRequest& r, Outbox& out);
    void createAircraft(const std::shared_ptr<Client>& client, const FakeRequest& r, Outbox& out);
    void refuse(const std::shared_ptr<Client>& client, ScException exception, std::uint32_t sendId, std::uint32_t index,
                Outbox& out);
    Bytes dataBlock(const Client& client, std::uint32_t defineId, const FakeObject& object) const;
    Bytes objectData(const Client& client, bool byType, std::uint32_t requestId, std::uint32_t defineId,
                     const FakeObject& object, std::uint32_t flags, std::uint32_t entry, std::uint32_t outOf) const;
    // One period of the periodic requests of a kind (frame or second).
    void periodElapsed(bool frame, Outbox& out);
    void applyData(const Client& client, const FakeRequest& request);
    void settleOnTerrain(FakeObject& object) const;
    void notePosition(const FakeObject& object, bool removed);
    std::uint32_t nextObjectId();
    void toSubscribers(const std::string& eventName, const std::function<Bytes(std::uint32_t eventId)>& make,
                       Outbox& out);
    void trace(const std::string& line);
    void deliver(Outbox& out);
    void send(Client& client, std::span<const std::byte> bytes);
    void addCpu(double& last);
    std::vector<std::shared_ptr<Client>> liveClients() const;
    std::string describeLocked(const FakeRequest& request) const;

    FakeSimOptions m_options;
    std::atomic<bool> m_stop{false};
    std::vector<std::intptr_t> m_listeners;
    int m_ipv4Port = -1;
    int m_ipv6Port = -1;
    std::filesystem::path m_pipePath;
    std::string m_pipeProblem;
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
    std::uint32_t m_lastSendId = 0;
    std::vector<std::string> m_errors;
    std::map<std::uint32_t, FakeObject> m_objects;
    std::vector<Periodic> m_periodic;
    std::multimap<ScRequestId, std::uint32_t> m_failNext;
    std::set<std::string> m_refusedTitles;
    std::vector<FakeEventRecord> m_eventLog;
    std::map<std::uint32_t, FakeLastPosition> m_lastPositions;
    FakeSimCounts m_tally;
    bool m_paused = false;
    std::uint32_t m_nextObjectId;
    RequestHook m_hook;
    TraceSink m_trace;
    bool m_traceAll = false;
    std::atomic<double> m_cpuSeconds{0.0};
};

}  // namespace skh::test
