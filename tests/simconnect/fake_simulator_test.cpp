// The fake simulator answers as a simulator would: checked with a raw client
// that writes packets byte by byte (so that it can also send bad ones) and
// reads the answers in order. Whole-program tests and the demo stand on it.
#include "support/fake_simulator.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/net.hpp"
#include "simconnect/messages.hpp"
#include "support/fake_sim_console.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::FakeSimOptions;
using test::FakeSimulator;
using test::WireWriter;
namespace net = platform;

// A client that speaks the wire protocol by hand.
class RawClient {
public:
    explicit RawClient(int port) {
        net::SocketAddress address;
        EXPECT_EQ(net::resolveAddress("127.0.0.1", std::to_string(port), net::Family::IPv4, false, address), 0);
        m_socket = net::openTcpSocket(net::Family::IPv4);
        EXPECT_EQ(net::connectSocket(m_socket, address), 0);
    }
    ~RawClient() { net::closeSocket(m_socket); }

    // Sends one packet with the next send id (or the one given).
    std::uint32_t send(ScRequestId id, const Bytes& body, std::uint32_t version = kScProtocolVersion,
                       std::optional<std::uint32_t> sizeField = std::nullopt) {
        const std::uint32_t sendId = ++m_sendId;
        WireWriter w;
        w.u32(sizeField.value_or(static_cast<std::uint32_t>(16 + body.size())))
            .u32(version)
            .u32(kScPacketTypeBase | static_cast<std::uint32_t>(id))
            .u32(sendId)
            .raw(body);
        EXPECT_TRUE(net::sendAll(m_socket, w.bytes().data(), w.bytes().size()));
        return sendId;
    }
    std::uint32_t open(std::uint32_t version = kScProtocolVersion) {
        WireWriter w;
        w.fixed("raw client", 256).u32(0).u32(0x50334400u).u32(5).u32(3).u32(0).u32(0);
        return send(ScRequestId::Open, w.bytes(), version);
    }
    // The next message, decoded; monostate when none came in time.
    ScMessage next() {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (m_buffer.size() >= 4) {
                std::uint32_t size = 0;
                std::memcpy(&size, m_buffer.data(), 4);
                if (size >= 12 && m_buffer.size() >= size) {
                    m_last.assign(m_buffer.begin(), m_buffer.begin() + size);
                    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + size);
                    return gf_scDecodeMessage(m_last);
                }
            }
            if (net::waitReadable(m_socket, 100) != 1) continue;
            std::byte chunk[4096];
            const long n = net::recvSocket(m_socket, chunk, sizeof chunk);
            if (n <= 0) break;
            m_buffer.insert(m_buffer.end(), chunk, chunk + n);
        }
        return std::monostate{};
    }
    // The next n bytes as they come, whatever they are.
    Bytes nextBytes(std::size_t n) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (m_buffer.size() < n && std::chrono::steady_clock::now() < deadline) {
            if (net::waitReadable(m_socket, 100) != 1) continue;
            std::byte chunk[4096];
            const long got = net::recvSocket(m_socket, chunk, sizeof chunk);
            if (got <= 0) break;
            m_buffer.insert(m_buffer.end(), chunk, chunk + got);
        }
        Bytes out(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(std::min(n, m_buffer.size())));
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(out.size()));
        return out;
    }
    // True when the simulator closed the connection.
    bool closedBySimulator() {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (net::waitReadable(m_socket, 100) != 1) continue;
            std::byte chunk[4096];
            const long got = net::recvSocket(m_socket, chunk, sizeof chunk);
            if (got <= 0) return true;
            m_buffer.insert(m_buffer.end(), chunk, chunk + got);
        }
        return false;
    }
    template <typename T>
    T nextAs() {
        const ScMessage m = next();
        const T* p = std::get_if<T>(&m);
        EXPECT_NE(p, nullptr) << "message kind " << m.index();
        return p != nullptr ? *p : T{};
    }
    std::uint32_t lastSendId() const { return m_sendId; }

private:
    net::Socket m_socket = net::kInvalidSocket;
    std::uint32_t m_sendId = 0;
    Bytes m_buffer;
    Bytes m_last;
};

Bytes u32s(std::initializer_list<std::uint32_t> values) {
    WireWriter w;
    for (const auto v : values) w.u32(v);
    return w.take();
}

Bytes subscribe(std::uint32_t eventId, const std::string& name) {
    WireWriter w;
    w.u32(eventId).fixed(name, 256);
    return w.take();
}

Bytes datum(std::uint32_t defineId, const std::string& name, ScDatumType type) {
    WireWriter w;
    w.u32(defineId).fixed(name, 256).fixed("", 256).u32(static_cast<std::uint32_t>(type)).f32(0).u32(kScUnused);
    return w.take();
}

Bytes dataRequest(std::uint32_t requestId, std::uint32_t defineId, std::uint32_t objectId, ScPeriod period,
                  std::uint32_t flags = 0, std::uint32_t origin = 0, std::uint32_t interval = 0,
                  std::uint32_t limit = 0) {
    return u32s({requestId, defineId, objectId, static_cast<std::uint32_t>(period), flags, origin, interval, limit});
}

Bytes createAircraft(const std::string& title, const std::string& tail, double lat, double lon, double alt,
                     bool onGround, std::uint32_t requestId) {
    WireWriter w;
    w.fixed(title, 256).fixed(tail, 12).f64(lat).f64(lon).f64(alt).f64(0).f64(0).f64(90).u32(onGround ? 1 : 0).u32(0);
    w.u32(requestId);
    return w.take();
}

double float64(const ScRecvObjectData& d, std::size_t index) {
    ScDataReader r(d.data);
    double v = 0;
    for (std::size_t i = 0; i <= index; ++i) EXPECT_TRUE(r.readFloat64(v));
    return v;
}

class FakeSimulatorThreaded : public ::testing::Test {
protected:
    void start(FakeSimOptions options = {}) {
        sim = std::make_unique<FakeSimulator>(std::move(options));
        client = std::make_unique<RawClient>(sim->ipv4Port());
    }
    void startOpen(FakeSimOptions options = {}) {
        start(std::move(options));
        client->open();
        client->nextAs<ScRecvOpen>();
    }
    // A marker that surely answers, the user's data by type: nothing came
    // before it, and everything sent before it has been handled.
    void expectNothingBeforeMarker() {
        if (m_marker == 9000)
            client->send(ScRequestId::AddToDataDefinition, datum(9000, "PLANE LATITUDE", ScDatumType::Float64));
        client->send(ScRequestId::RequestDataOnSimObjectType,
                     u32s({++m_marker, 9000, 0, static_cast<std::uint32_t>(ScSimObjectType::User)}));
        const auto marker = client->nextAs<ScRecvObjectData>();
        EXPECT_EQ(marker.requestId, m_marker);
    }
    std::uint32_t m_marker = 9000;
    std::unique_ptr<FakeSimulator> sim;
    std::unique_ptr<RawClient> client;
};

TEST_F(FakeSimulatorThreaded, RefusedPacketsGetTheProtocolsExceptionAndCountForTheSendIds) {
    startOpen();
    struct Case {
        const char* what;
        ScRequestId id;
        Bytes body;
        std::uint32_t version;
        ScException exception;
    };
    const Case cases[] = {
        {"a size that is not the kind's", ScRequestId::TransmitClientEvent, u32s({1, 2, 3, 4, 5, 6}), 35,
         ScException::SizeMismatch},
        {"another protocol version", ScRequestId::SetNotificationGroupPriority, u32s({301, 1}), 34,
         ScException::VersionMismatch},
        {"a request the protocol has not", static_cast<ScRequestId>(0x35), u32s({1}), 35, ScException::UnrecognizedId},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint32_t sendId = client->send(c.id, c.body, c.version);
        const auto e = client->nextAs<ScRecvException>();
        EXPECT_EQ(e.exception, static_cast<std::uint32_t>(c.exception));
        EXPECT_EQ(e.sendId, sendId);
    }
    // A flag field that holds neither 0 nor 1 names its parameter.
    const std::uint32_t flagged = client->send(ScRequestId::AddClientEventToNotificationGroup, u32s({301, 207, 2}));
    const auto e = client->nextAs<ScRecvException>();
    EXPECT_EQ(e.exception, static_cast<std::uint32_t>(ScException::Error));
    EXPECT_EQ(e.sendId, flagged);
    EXPECT_EQ(e.index, 3u);

    // The good packet after them is no send-id gap.
    expectNothingBeforeMarker();
    const auto errors = sim->protocolErrors();
    ASSERT_EQ(errors.size(), 4u);
    for (const auto& error : errors) EXPECT_EQ(error.find("send id"), std::string::npos) << error;
    EXPECT_EQ(sim->requestCount(), 3u);  // the open packet and the marker's two
    EXPECT_EQ(sim->lastSendId(), client->lastSendId());
}

TEST_F(FakeSimulatorThreaded, OnlyProtocol35ByDefaultAnyVersionFromTwoWhenAsked) {
    start();
    const std::uint32_t refused = client->open(4);
    const auto e = client->nextAs<ScRecvException>();
    EXPECT_EQ(e.exception, static_cast<std::uint32_t>(ScException::VersionMismatch));
    EXPECT_EQ(e.sendId, refused);

    FakeSimOptions lenient;
    lenient.anyProtocolVersion = true;
    start(lenient);
    // An older client's open packet: the name, then fields of its own.
    WireWriter older;
    older.fixed("other client", 256).u32(0).u32(0x58534600u).u32(10);
    client->send(ScRequestId::Open, older.bytes(), 4);
    EXPECT_EQ(client->nextAs<ScRecvOpen>().applicationVersion[0], 5u);
    client->send(ScRequestId::SubscribeToSystemEvent, subscribe(1, "Sim"), 2);
    EXPECT_EQ(client->nextAs<ScRecvEvent>().data, 1u);
    client->send(ScRequestId::SubscribeToSystemEvent, subscribe(2, "Sim"), 1);
    EXPECT_EQ(client->nextAs<ScRecvException>().exception, static_cast<std::uint32_t>(ScException::VersionMismatch));
    EXPECT_EQ(sim->openedClients(), 1u);
}

TEST_F(FakeSimulatorThreaded, DataRequestsHonourChangedOriginIntervalAndLimit) {
    startOpen();
    client->send(ScRequestId::AddToDataDefinition, datum(403, "PLANE LATITUDE", ScDatumType::Float64));
    client->send(ScRequestId::AddToDataDefinition, datum(409, "SIM ON GROUND", ScDatumType::Int64));

    // One object's data is entry 1 of 1, with the request's flags.
    client->send(ScRequestId::RequestDataOnSimObject,
                 dataRequest(1, 403, kScObjectIdUser, ScPeriod::Second, kScDataRequestChanged));
    auto d = client->nextAs<ScRecvObjectData>();
    EXPECT_EQ(d.entryNumber, 1u);
    EXPECT_EQ(d.outOf, 1u);
    EXPECT_EQ(d.flags, kScDataRequestChanged);
    EXPECT_EQ(float64(d, 0), 47.4647);
    sim->tickSecond();  // unchanged: nothing
    sim->moveUser(47.5, 8.5);
    sim->tickSecond();
    d = client->nextAs<ScRecvObjectData>();
    EXPECT_EQ(d.requestId, 1u);
    EXPECT_EQ(float64(d, 0), 47.5);
    client->send(ScRequestId::RequestDataOnSimObject, dataRequest(1, 403, kScObjectIdUser, ScPeriod::Never));

    // From the second period on, every third one, three times.
    client->send(ScRequestId::RequestDataOnSimObject,
                 dataRequest(2, 409, kScObjectIdUser, ScPeriod::SimFrame, 0, 2, 2, 3));
    expectNothingBeforeMarker();  // the request is in before the first frame
    std::vector<int> framesWithData;
    for (int frame = 1; frame <= 12; ++frame) {
        sim->sendFrame();
        client->send(ScRequestId::RequestDataOnSimObject,
                     dataRequest(900 + frame, 409, kScObjectIdUser, ScPeriod::Once));
        for (;;) {
            const auto m = client->nextAs<ScRecvObjectData>();
            if (m.requestId == 2) framesWithData.push_back(frame);
            if (m.requestId != 2) break;
        }
    }
    EXPECT_EQ(framesWithData, (std::vector<int>{2, 5, 8}));

    // Flags the fake does not model are refused, not answered differently.
    const std::uint32_t tagged =
        client->send(ScRequestId::RequestDataOnSimObject,
                     dataRequest(3, 403, kScObjectIdUser, ScPeriod::Second, kScDataRequestTagged));
    const auto e = client->nextAs<ScRecvException>();
    EXPECT_EQ(e.sendId, tagged);
    EXPECT_EQ(e.index, 5u);
    sim->tickSecond();
    expectNothingBeforeMarker();
    ASSERT_EQ(sim->protocolErrors().size(), 1u);
    EXPECT_NE(sim->protocolErrors()[0].find("not modelled"), std::string::npos);
}

TEST_F(FakeSimulatorThreaded, AiAircraftStandOnFlatTerrainAndLeaveTheirLastPositionBehind) {
    FakeSimOptions options;
    options.groundElevationFt = 500.0;
    startOpen(options);
    client->send(ScRequestId::SubscribeToSystemEvent, subscribe(202, "ObjectAdded"));
    client->send(ScRequestId::SubscribeToSystemEvent, subscribe(203, "ObjectRemoved"));
    for (const char* name : {"PLANE ALT ABOVE GROUND", "GROUND ALTITUDE", "STATIC CG TO GROUND", "STATIC PITCH"})
        client->send(ScRequestId::AddToDataDefinition, datum(405, name, ScDatumType::Float64));
    client->send(ScRequestId::AddToDataDefinition, datum(405, "SIM ON GROUND", ScDatumType::Int64));
    client->send(ScRequestId::AddToDataDefinition, datum(402, "PLANE ALTITUDE", ScDatumType::Float64));

    sim->refuseTitle("Unknown Livery");
    const std::uint32_t refused = client->send(ScRequestId::AICreateNonATCAircraft,
                                               createAircraft("Unknown Livery", "X1", 47.46, 8.55, 0, true, 104));
    const auto e = client->nextAs<ScRecvException>();
    EXPECT_EQ(e.exception, static_cast<std::uint32_t>(ScException::CreateObjectFailed));
    EXPECT_EQ(e.sendId, refused);

    client->send(ScRequestId::AICreateNonATCAircraft, createAircraft("A320 Swiss", "SWR1", 47.46, 8.55, 0, true, 104));
    EXPECT_EQ(client->nextAs<ScRecvAssignedObjectId>().objectId, 1000u);
    const auto added = client->nextAs<ScRecvObjectAddRemove>();
    EXPECT_EQ(added.event.eventId, 202u);
    EXPECT_EQ(added.event.data, 1000u);
    client->send(ScRequestId::AICreateNonATCAircraft,
                 createAircraft("A320 Swiss", "SWR2", 47.47, 8.55, 3500, false, 104));
    EXPECT_EQ(client->nextAs<ScRecvAssignedObjectId>().objectId, 1001u);
    client->nextAs<ScRecvObjectAddRemove>();

    struct Expected {
        std::uint32_t id;
        double aboveGround;
        std::int64_t onGround;
    };
    auto check = [&](const Expected& x) {
        client->send(ScRequestId::RequestDataOnSimObject, dataRequest(102, 405, x.id, ScPeriod::Once));
        const auto d = client->nextAs<ScRecvObjectData>();
        EXPECT_EQ(d.objectId, x.id);
        ScDataReader r(d.data);
        double agl = 0, ground = 0, cg = 0, pitch = 0;
        std::int64_t onGround = -1;
        ASSERT_TRUE(r.readFloat64(agl) && r.readFloat64(ground) && r.readFloat64(cg) && r.readFloat64(pitch) &&
                    r.readInt64(onGround));
        EXPECT_DOUBLE_EQ(agl, x.aboveGround);
        EXPECT_EQ(ground, 500.0);
        EXPECT_EQ(cg, 9.0);
        EXPECT_EQ(pitch, 0.005);
        EXPECT_EQ(onGround, x.onGround);
    };
    check({1000, 0.0, 1});                   // put on the ground whatever its altitude
    check({1001, 3500.0 - 500.0 - 9.0, 0});  // in the air
    // Moved by the client: on the ground up to half a foot above it.
    for (const auto& [altitude, onGround] : {std::pair{509.5, 1}, std::pair{509.6, 0}}) {
        WireWriter w;
        w.u32(402).u32(1001).u32(0).u32(1).u32(8).f64(altitude);
        client->send(ScRequestId::SetDataOnSimObject, w.bytes());
        check({1001, altitude - 509.0, onGround});
    }

    client->send(ScRequestId::AIRemoveObject, u32s({1000, 105}));
    EXPECT_EQ(client->nextAs<ScRecvObjectAddRemove>().event.data, 1000u);
    sim->removeObject(1001);
    EXPECT_EQ(client->nextAs<ScRecvObjectAddRemove>().event.data, 1001u);
    const auto last = sim->lastPositions();
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last.at(1000).atcId, "SWR1");
    EXPECT_TRUE(last.at(1000).onGround);
    EXPECT_TRUE(last.at(1000).removed);
    EXPECT_EQ(last.at(1001).altitude, 509.6);
    const auto counts = sim->counts();
    EXPECT_EQ(counts.created, 2u);
    EXPECT_EQ(counts.refusedCreations, 1u);
    EXPECT_EQ(counts.removedByClient, 1u);
    EXPECT_EQ(counts.removedBySimulator, 1u);
    EXPECT_EQ(counts.liveObjects, 0u);
    EXPECT_TRUE(sim->protocolErrors().empty());
}

TEST_F(FakeSimulatorThreaded, ClientEventsAreLoggedAndRemovedIdsMayComeBack) {
    FakeSimOptions options;
    options.reuseObjectIds = true;
    startOpen(options);
    WireWriter map;
    map.u32(207).fixed("BEACON_LIGHTS_SET", 256);
    client->send(ScRequestId::MapClientEventToSimEvent, map.bytes());
    client->send(ScRequestId::AICreateNonATCAircraft, createAircraft("A320", "AB1", 47.46, 8.55, 0, true, 104));
    EXPECT_EQ(client->nextAs<ScRecvAssignedObjectId>().objectId, 1000u);
    client->send(ScRequestId::TransmitClientEvent, u32s({1000, 207, 1, 301, 0}));
    client->send(ScRequestId::TransmitClientEvent, u32s({4242, 207, 1, 301, 0}));
    EXPECT_EQ(client->nextAs<ScRecvException>().exception, static_cast<std::uint32_t>(ScException::UnrecognizedId));
    client->send(ScRequestId::AIRemoveObject, u32s({1000, 105}));
    client->send(ScRequestId::AICreateNonATCAircraft, createAircraft("A320", "AB2", 47.46, 8.55, 0, true, 104));
    EXPECT_EQ(client->nextAs<ScRecvAssignedObjectId>().objectId, 1000u);  // the removed one's id again
    const auto log = sim->clientEventLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].objectId, 1000u);
    EXPECT_EQ(log[0].event, "BEACON_LIGHTS_SET");
    EXPECT_TRUE(log[0].accepted);
    EXPECT_EQ(log[1].objectId, 4242u);
    EXPECT_FALSE(log[1].accepted);
}

// The commands of the fake-simulator program, as a person or a script gives them.
class FakeSimConsoleThreaded : public FakeSimulatorThreaded {
protected:
    void SetUp() override {
        startOpen();
        for (const auto& [id, name] :
             {std::pair{201u, "Sim"}, std::pair{203u, "ObjectRemoved"}, std::pair{204u, "Frame"},
              std::pair{205u, "PositionChanged"}, std::pair{206u, "FlightLoaded"}, std::pair{210u, "Pause"}})
            client->send(ScRequestId::SubscribeToSystemEvent, subscribe(id, name));
        EXPECT_EQ(client->nextAs<ScRecvEvent>().eventId, 201u);  // the state of "Sim"
        client->send(ScRequestId::AddToDataDefinition, datum(403, "PLANE LATITUDE", ScDatumType::Float64));
        client->send(ScRequestId::AddToDataDefinition, datum(403, "PLANE ALTITUDE", ScDatumType::Float64));
        client->send(ScRequestId::AddToDataDefinition, datum(403, "SIM ON GROUND", ScDatumType::Int64));
        expectNothingBeforeMarker();
        console = std::make_unique<test::FakeSimConsole>(*sim, [this](const std::string& line) {
            const std::lock_guard lock(m_outputMutex);
            output.push_back(line);
        });
    }
    // Runs a command and returns what it printed.
    std::string run(const std::string& command) {
        {
            const std::lock_guard lock(m_outputMutex);
            output.clear();
        }
        EXPECT_TRUE(console->run(command)) << command;
        const std::lock_guard lock(m_outputMutex);
        std::string text;
        for (const auto& line : output) text += (text.empty() ? "" : "\n") + line;
        return text;
    }
    struct User {
        double latitude, altitude;
        std::int64_t onGround;
    };
    User user() {
        client->send(ScRequestId::RequestDataOnSimObject, dataRequest(109, 403, kScObjectIdUser, ScPeriod::Once));
        const auto d = client->nextAs<ScRecvObjectData>();
        ScDataReader r(d.data);
        User u{};
        EXPECT_TRUE(r.readFloat64(u.latitude) && r.readFloat64(u.altitude) && r.readInt64(u.onGround));
        return u;
    }

    std::unique_ptr<test::FakeSimConsole> console;
    std::mutex m_outputMutex;
    std::vector<std::string> output;
};

TEST_F(FakeSimConsoleThreaded, EventsAndExceptionsOnCommand) {
    EXPECT_EQ(run("pause"), "paused");
    auto pause = client->nextAs<ScRecvEvent>();
    EXPECT_EQ(pause.eventId, 210u);
    EXPECT_EQ(pause.data, 1u);
    sim->sendFrame();  // nothing while paused
    EXPECT_EQ(run("unpause"), "running");
    EXPECT_EQ(client->nextAs<ScRecvEvent>().data, 0u);
    sim->sendFrame();
    EXPECT_EQ(client->nextAs<ScRecvFrame>().event.eventId, 204u);

    run("flight");
    EXPECT_EQ(client->nextAs<ScRecvFilename>().fileName, "Flights\\Skyhaven demo.fxml");
    run("flight Flights\\My flight.fxml");
    EXPECT_EQ(client->nextAs<ScRecvFilename>().fileName, "Flights\\My flight.fxml");
    run("position-changed");
    EXPECT_EQ(client->nextAs<ScRecvEvent>().eventId, 205u);
    EXPECT_EQ(run("sim off"), "sim off");
    EXPECT_EQ(client->nextAs<ScRecvEvent>().data, 0u);

    EXPECT_EQ(run("exception 22 7 3"), "exception 22 sent for send id 7");
    auto e = client->nextAs<ScRecvException>();
    EXPECT_EQ(e.exception, 22u);
    EXPECT_EQ(e.sendId, 7u);
    EXPECT_EQ(e.index, 3u);
    run("exception 5");  // for the last packet received
    EXPECT_EQ(client->nextAs<ScRecvException>().sendId, client->lastSendId());

    run("refuse-create");
    run("refuse-title Airbus A320 No Such Livery");
    for (const char* title : {"Airbus A320 Swiss", "Airbus A320 No Such Livery"}) {
        const std::uint32_t sendId =
            client->send(ScRequestId::AICreateNonATCAircraft, createAircraft(title, "T1", 47.46, 8.55, 0, true, 104));
        e = client->nextAs<ScRecvException>();
        EXPECT_EQ(e.exception, 22u) << title;
        EXPECT_EQ(e.sendId, sendId) << title;
    }
    client->send(ScRequestId::AICreateNonATCAircraft,
                 createAircraft("Airbus A320 Swiss", "T2", 47.46, 8.55, 0, true, 104));
    EXPECT_EQ(client->nextAs<ScRecvAssignedObjectId>().objectId, 1000u);  // refused only once
    EXPECT_EQ(sim->counts().refusedCreations, 2u);
    run("remove 777");  // even an object the simulator never had
    EXPECT_EQ(client->nextAs<ScRecvObjectAddRemove>().event.data, 777u);

    EXPECT_EQ(run("garbage 8"), "8 garbage bytes sent");
    EXPECT_EQ(test::hexOf(client->nextBytes(8)), "de ad be ef de ad be ef");
    EXPECT_EQ(run("quit"), "quit sent, connections closed");
    EXPECT_TRUE(std::holds_alternative<ScRecvQuit>(client->next()));
    EXPECT_TRUE(client->closedBySimulator());

    for (const char* bad : {"teleport", "teleport north", "user 47", "route 0 47,8", "route 200 47", "exception x",
                            "remove", "elevation high", "garbage 0", "trace maybe", "no-such-command"})
        EXPECT_EQ(run(bad).rfind("error: ", 0), 0u) << bad;
    EXPECT_FALSE(console->run("exit"));
    EXPECT_TRUE(sim->protocolErrors().empty());
}

TEST_F(FakeSimConsoleThreaded, TheUserAircraftIsPlacedTeleportedAndFollowsItsRoute) {
    EXPECT_EQ(run("user 46.5 7.5 3000"), "user at 46.5 7.5 3000 ft");
    User u = user();
    EXPECT_EQ(u.latitude, 46.5);
    EXPECT_EQ(u.altitude, 3000.0);
    EXPECT_EQ(u.onGround, 0);
    run("teleport 30 0");
    EXPECT_NEAR(user().latitude, 47.0, 1e-6);
    run("elevation 1000");
    run("user 46.5 7.5");
    u = user();
    EXPECT_EQ(u.altitude, 1000.0);
    EXPECT_EQ(u.onGround, 1);

    // 6 nm north at 360 kt: a minute to the end, climbing from the ground.
    const auto start = test::FakeSimConsole::Clock::now();
    EXPECT_EQ(run("route 360 47.0,8.0 47.1,8.0,3000"), "user follows 2 points at 360 kt");
    console->tick(start + 30s);
    u = user();
    EXPECT_NEAR(u.latitude, 47.05, 1e-4);
    EXPECT_NEAR(u.altitude, 2000.0, 5.0);
    EXPECT_EQ(u.onGround, 0);
    console->tick(start + 120s);
    u = user();
    EXPECT_NEAR(u.latitude, 47.1, 1e-9);
    EXPECT_EQ(u.altitude, 3000.0);
    EXPECT_EQ(std::get<double>(sim->object(1)->values.at("GROUND VELOCITY")), 0.0);  // stopped at the end
}

TEST_F(FakeSimConsoleThreaded, TraceAndSummaryTellAPersonWhatTheClientDid) {
    client->send(ScRequestId::AddToDataDefinition, datum(402, "PLANE ALTITUDE", ScDatumType::Float64));
    expectNothingBeforeMarker();
    EXPECT_EQ(run("trace on"), "trace on");
    client->send(ScRequestId::AICreateNonATCAircraft,
                 createAircraft("Airbus A320 Swiss", "SWR1", 47.46, 8.55, 0, true, 104));
    client->nextAs<ScRecvAssignedObjectId>();
    WireWriter w;
    w.u32(402).u32(1000).u32(0).u32(1).u32(8).f64(1500.0);
    client->send(ScRequestId::SetDataOnSimObject, w.bytes());  // no line: a position update
    client->send(ScRequestId::AIRemoveObject, u32s({1000, 105}));
    client->nextAs<ScRecvObjectAddRemove>();
    client->send(ScRequestId::AIRemoveObject, u32s({1000, 105}));  // gone already
    client->nextAs<ScRecvException>();
    std::vector<std::string> lines;
    {
        const std::lock_guard lock(m_outputMutex);
        lines = output;
    }
    ASSERT_EQ(lines.size(), 5u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[1],
              "trace: client 1 #15 AICreateNonATCAircraft 'Airbus A320 Swiss' tail 'SWR1' at 47.46000 "
              "8.55000 0 ft heading 90 on the ground request 104");
    EXPECT_EQ(lines[2], "trace: client 1 #17 AIRemoveObject 1000 105");
    EXPECT_EQ(lines[4], "trace:   -> exception 3 for #18");

    const std::string summary = run("summary");
    for (const char* part :
         {"summary: 1 client(s), 18 requests", "AICreateNonATCAircraft 1", "AIRemoveObject 2",
          "summary: objects created 1, refused 0, removed by the client 1, removed by the simulator 0, live 0; "
          "exceptions sent 1",
          "summary: object 1000 'SWR1' 'Airbus A320 Swiss' at 47.46000 8.55000 1500 ft heading 90, removed",
          "summary: motion: 1 object(s) moved, 1 moves; largest step 0.0 m ('SWR1'), largest altitude step 75.0 ft "
          "('SWR1')"})
        EXPECT_NE(summary.find(part), std::string::npos) << part << "\n" << summary;
    EXPECT_EQ(summary.find("protocol error"), std::string::npos);
}

TEST_F(FakeSimConsoleThreaded, TraceAllShowsWhereEachPositionWritePutTheObject) {
    for (const char* name : {"PLANE LATITUDE", "PLANE LONGITUDE", "PLANE PITCH DEGREES", "PLANE BANK DEGREES",
                             "PLANE HEADING DEGREES TRUE", "PLANE ALTITUDE"})
        client->send(ScRequestId::AddToDataDefinition, datum(404, name, ScDatumType::Float64));
    client->send(ScRequestId::AICreateNonATCAircraft,
                 createAircraft("Airbus A320 Swiss", "SWR1", 47.46, 8.55, 3000, false, 104));
    ASSERT_EQ(client->nextAs<ScRecvAssignedObjectId>().objectId, 1000u);
    EXPECT_EQ(run("trace all"), "trace all");
    const double radians = 3.14159265358979323846 / 180.0;
    const auto write = [&](double lat, double lon, double pitch, double bank, double heading, double altitude) {
        WireWriter w;
        w.u32(404).u32(1000).u32(0).u32(1).u32(48);
        w.f64(lat).f64(lon).f64(pitch * radians).f64(bank * radians).f64(heading * radians).f64(altitude);
        client->send(ScRequestId::SetDataOnSimObject, w.bytes());
    };
    const double before = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    write(47.47, 8.56, 2.0, -10.0, 140.5, 3000.0);
    write(47.48, 8.57, 0.0, 0.0, 141.0, 1425.0);  // the fake's ground: 1416 ft and a CG of 9 ft
    expectNothingBeforeMarker();
    const double after = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();

    std::vector<std::string> writes;
    {
        const std::lock_guard lock(m_outputMutex);
        for (const std::string& line : output)
            if (line.rfind("trace:   -> object ", 0) == 0) writes.push_back(line);
    }
    ASSERT_EQ(writes.size(), 2u) << ::testing::PrintToString(writes);
    const std::vector<std::string> places = {
        "at 47.470000 8.560000 3000.0 ft pitch 2.0 bank -10.0 heading 140.5 in the air",
        "at 47.480000 8.570000 1425.0 ft pitch 0.0 bank 0.0 heading 141.0 on the ground"};
    for (std::size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE(writes[i]);
        const std::string prefix = "trace:   -> object 1000 time ";
        ASSERT_EQ(writes[i].rfind(prefix, 0), 0u);
        const double time = std::stod(writes[i].substr(prefix.size()));
        EXPECT_GE(time, before - 0.001);
        EXPECT_LE(time, after + 0.001);
        EXPECT_EQ(writes[i].substr(writes[i].find(" at ") + 1), places[i]);
    }
    EXPECT_EQ(run("objects"),
              "objects: 1 in the simulator, 1 seen\n"
              "object 1000 'SWR1' 'Airbus A320 Swiss' at 47.48000 8.57000 1425 ft heading 141 on the ground");
}

}  // namespace
}  // namespace skh
