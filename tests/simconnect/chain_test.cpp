// The chain of transports a connect tries, first with a recorder in place of
// the transports, then against the fake simulator on the pipe, IPv6 and IPv4.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/net.hpp"
#include "platform/pipe_path.hpp"
#include "simconnect/config.hpp"
#include "simconnect/simconnect.hpp"
#include "support/fake_simulator.hpp"
#include "support/sc_test_env.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;
using test::FakeSimOptions;
using test::FakeSimulator;
using test::ScTestEnv;
using Folder = test::ScTestEnv::Folder;

const std::string kDefaultPipe = "\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect";

// The attempts a connect makes with the configuration in place.
std::vector<ScAttempt> attemptsOf(int succeedAt) {
    ScConfig c;
    for (const auto& file : lf_scConfigFiles()) lf_scReadConfig(file, 0, c);
    std::vector<ScAttempt> attempts;
    lf_scRunChain(c, [&](const ScAttempt& a) {
        attempts.push_back(a);
        return static_cast<int>(attempts.size()) == succeedAt;
    });
    return attempts;
}

TEST(ScChain, TriesTheTransportsInOrderUntilOneConnects) {
    struct Case {
        const char* name;
        const char* config;        // SimConnect.cfg in Documents
        const char* ipv6Port;      // registry
        const char* ipv4Port;
        int succeedAt;             // 1-based attempt that connects, -1 none
        std::vector<ScAttempt> expected;
    };
    const Case cases[] = {
        {"nothing configured", "", "", "", -1,
         {{ScFamily::Pipe, kDefaultPipe, ""}, {ScFamily::Pipe, kDefaultPipe, ""}}},
        {"registry ports", "", "6006", "4004", -1,
         {{ScFamily::Pipe, kDefaultPipe, ""},
          {ScFamily::IPv6, "::1", "6006"},
          {ScFamily::IPv4, "127.0.0.1", "4004"},
          {ScFamily::Pipe, kDefaultPipe, ""}}},
        {"stops at the first success", "", "6006", "4004", 2,
         {{ScFamily::Pipe, kDefaultPipe, ""}, {ScFamily::IPv6, "::1", "6006"}}},
        {"IPv4 from the file", "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=500\n", "", "", -1,
         {{ScFamily::IPv4, "127.0.0.1", "500"}, {ScFamily::Pipe, kDefaultPipe, ""}}},
        {"named pipe from the file", "[SimConnect]\nPort=MyPipe\n", "", "4004", -1,
         {{ScFamily::Pipe, "\\\\.\\pipe\\MyPipe", ""},
          {ScFamily::IPv4, "127.0.0.1", "4004"},
          {ScFamily::Pipe, kDefaultPipe, ""}}},
        {"remote pipe ends the chain", "[SimConnect]\nProtocol=Pipe\nAddress=simpc\n", "6006", "4004", -1,
         {{ScFamily::Pipe, "\\\\simpc\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect", ""}}},
        {"remote IPv6 ends the chain", "[SimConnect]\nProtocol=IPv6\nAddress=fe80::1\nPort=600\n", "", "4004", -1,
         {{ScFamily::IPv6, "fe80::1", "600"}}},
        {"remote IPv4 without port ends the chain", "[SimConnect]\nProtocol=IPv4\nAddress=simpc\n", "", "", -1, {}},
        {"localhost is no remote but no loopback literal either", "[SimConnect]\nAddress=localhost\n", "6006", "", -1,
         {{ScFamily::Pipe, "\\\\localhost\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect", ""},
          {ScFamily::IPv6, "::1", "6006"},
          {ScFamily::Pipe, kDefaultPipe, ""}}},
    };
    for (const auto& c : cases) {
        ScTestEnv env;
        env.writeConfig(Folder::Documents, c.config);
        env.writeRegistryPorts(c.ipv6Port, c.ipv4Port);
        EXPECT_EQ(attemptsOf(c.succeedAt), c.expected) << c.name;
    }
}

TEST(ScChain, UnknownConfigurationIndexIsAnInvalidArgument) {
    ScTestEnv env;
    env.writeConfig(Folder::Current, "[SimConnect.1]\nPort=x\n");
    ScConnection* c = nullptr;
    EXPECT_EQ(lf_scConnect(c, 2), 3);
    HANDLE h = nullptr;
    EXPECT_EQ(SimConnect_Open(&h, "x", nullptr, 0, nullptr, 2), kScInvalidArg);
    EXPECT_EQ(gf_scConnectionCount(), 0);
}

class ScChainThreaded : public ::testing::Test {
protected:
    // Opens, checks that the given simulator got the open packet, closes.
    void expectOpenReaches(FakeSimulator& sim) {
        HANDLE h = nullptr;
        ASSERT_EQ(SimConnect_Open(&h, "Skyhaven_P3D", nullptr, 0, nullptr, 0), kScOk);
        EXPECT_TRUE(sim.waitForRequests(ScRequestId::Open, 1, 20s));
        EXPECT_EQ(SimConnect_Close(h), kScOk);
        EXPECT_TRUE(sim.protocolErrors().empty());
    }
    void TearDown() override {
        EXPECT_EQ(gf_scConnectionCount(), 0);
        EXPECT_EQ(gf_scLiveConnectionObjects(), 0);
        EXPECT_FALSE(gf_scWinsockStarted());
    }
    ScTestEnv env;
};

TEST_F(ScChainThreaded, DefaultPipeOnTheLocalMachine) {
    FakeSimOptions o;
    o.ipv4 = false;
    o.pipeName = "Lockheed Martin Prepar3D v5\\SimConnect";
    FakeSimulator sim(o);
    ASSERT_FALSE(sim.pipePath().empty());
    expectOpenReaches(sim);
}

TEST_F(ScChainThreaded, IPv6ThenIPv4FromTheRegistryWhenThereIsNoPipe) {
    FakeSimOptions o;
    o.ipv4 = false;
    o.ipv6 = true;
    FakeSimulator sim6(o);
    if (sim6.ipv6Port() < 0) GTEST_SKIP() << "no IPv6 loopback";
    FakeSimulator sim4;
    env.writeRegistryPorts(std::to_string(sim6.ipv6Port()), std::to_string(sim4.ipv4Port()));
    expectOpenReaches(sim6);
    EXPECT_EQ(sim4.clientCount(), 0u);

    env.writeRegistryPorts("1", std::to_string(sim4.ipv4Port()));  // nothing listens on port 1
    expectOpenReaches(sim4);
}

TEST_F(ScChainThreaded, LastAttemptIsTheDefaultPipe) {
    FakeSimOptions o;
    o.ipv4 = false;
    o.pipeName = "Lockheed Martin Prepar3D v5\\SimConnect";
    FakeSimulator sim(o);
    env.writeConfig(Folder::Documents, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=1\n");
    expectOpenReaches(sim);
}

TEST_F(ScChainThreaded, RemoteAddressIsNeverReplacedByTheLocalDefaults) {
    FakeSimOptions o;
    o.pipeName = "Lockheed Martin Prepar3D v5\\SimConnect";
    FakeSimulator sim(o);
    env.writeRegistryPorts("", std::to_string(sim.ipv4Port()));
    env.writeConfig(Folder::Documents, "[SimConnect]\nProtocol=Pipe\nAddress=simpc\n");
    HANDLE h = nullptr;
    EXPECT_EQ(SimConnect_Open(&h, "Skyhaven_P3D", nullptr, 0, nullptr, 0), kScFail);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(sim.clientCount(), 0u);
}

TEST_F(ScChainThreaded, BusyPipeIsWaitedForAWhileNotForever) {
    // A pipe server that never accepts and has no room for another client.
    namespace net = skh::platform;
    const auto path = net::pipeSocketPath(kDefaultPipe);
    ASSERT_TRUE(path);
    std::filesystem::create_directories(path->parent_path());
    net::SocketAddress address;
    ASSERT_TRUE(net::unixAddress(path->string(), address));
    const net::Socket server = net::openUnixStreamSocket();
    ASSERT_EQ(net::bindSocket(server, address), 0);
    ASSERT_EQ(net::listenSocket(server, 0), 0);
    const net::Socket first = net::openUnixStreamSocket();
    ASSERT_EQ(net::connectSocket(first, address), 0);

    const auto start = std::chrono::steady_clock::now();
    HANDLE h = nullptr;
    EXPECT_EQ(SimConnect_Open(&h, "Skyhaven_P3D", nullptr, 0, nullptr, 0), kScFail);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 2 * std::chrono::milliseconds(gf_scTimings().pipeBusyWaitMs.load()));  // both pipe attempts
    EXPECT_LT(took, test::kEventWait);  // not for ever
    net::closeSocket(first);
    net::closeSocket(server);
}

TEST_F(ScChainThreaded, NoSimulatorFailsAndLeavesNothingBehind) {
    const int before = platform::wsaStartupCount();
    env.writeRegistryPorts("1", "1");
    HANDLE h = nullptr;
    EXPECT_EQ(SimConnect_Open(&h, "Skyhaven_P3D", nullptr, 0, nullptr, 0), kScFail);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(platform::wsaStartupCount(), before);
}

}  // namespace
}  // namespace skh
