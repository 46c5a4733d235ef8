// The fake RealTraffic program as whole-program runs and the demo use it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/net.hpp"
#include "platform/process.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;
namespace net = platform;

TEST(FakeRtProgram, ADurationKeepsTheLinkOpenAfterTheReplayEnds) {
    // The program's TCP server, played by the test.
    net::SocketAddress address;
    ASSERT_EQ(net::resolveAddress("127.0.0.1", "0", net::Family::IPv4, true, address), 0);
    const net::Socket server = net::openTcpSocket(net::Family::IPv4);
    ASSERT_NE(server, net::kInvalidSocket);
    ASSERT_EQ(net::bindSocket(server, address), 0);
    ASSERT_EQ(net::listenSocket(server, 1), 0);
    const int port = net::localPort(server);
    // The Traffic Reader's port, held so that the line goes nowhere else.
    const net::Socket reader = net::openUdpSocket(net::Family::IPv4);
    ASSERT_NE(reader, net::kInvalidSocket);
    ASSERT_EQ(net::bindSocket(reader, address), 0);

    const test::TempDir dir;
    test::writeFile(dir / "traffic.txt", "# one line, sent at once\nTFC,1,2,3\n");
    const std::filesystem::path program = std::filesystem::path(SKYHAVEN_BINARY_DIR) / "tools" / "skyhaven-fake-rt";
    const auto start = std::chrono::steady_clock::now();
    const int pid = platform::spawnProcess(
        {program.string(), "--tcp-port", std::to_string(port), "--traffic-port", std::to_string(net::localPort(reader)),
         "--qnh", "none", "--replay", (dir / "traffic.txt").string(), "--rate", "100", "--duration", "2"},
        {}, {}, dir / "output.txt");
    ASSERT_GT(pid, 0);

    ASSERT_EQ(net::waitReadable(server, 20000), 1);
    const net::Socket link = net::acceptSocket(server);
    ASSERT_NE(link, net::kInvalidSocket);
    char byte = 0;
    ASSERT_EQ(net::waitReadable(link, 30000), 1);
    EXPECT_EQ(net::recvSocket(link, &byte, 1), 0);  // closed, with nothing said
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2s);
    net::closeSocket(link);
    net::closeSocket(server);
    net::closeSocket(reader);

    const std::optional<int> status = platform::waitProcess(pid, 30s);
    if (!status) platform::signalProcess(pid, platform::EndRequest::Kill);
    const std::string output = test::readFile(dir / "output.txt");
    ASSERT_TRUE(status) << output;
    EXPECT_EQ(*status, 0) << output;
    EXPECT_NE(output.find("sent 1 traffic line(s), 0 QNH datagram(s); 0 send(s) failed; 1 TCP connection(s)"),
              std::string::npos)
        << output;
}

TEST(FakeRtProgram, TheQnhGoesOutAsAJsonNumber) {
    net::SocketAddress address;
    ASSERT_EQ(net::resolveAddress("127.0.0.1", "0", net::Family::IPv4, true, address), 0);
    const net::Socket reader = net::openUdpSocket(net::Family::IPv4);
    ASSERT_NE(reader, net::kInvalidSocket);
    ASSERT_EQ(net::bindSocket(reader, address), 0);
    const test::TempDir dir;
    const std::filesystem::path program = std::filesystem::path(SKYHAVEN_BINARY_DIR) / "tools" / "skyhaven-fake-rt";
    // The value given, and the datagram: JSON's own spelling of the number,
    // whatever the spelling given.
    const std::pair<const char*, const char*> cases[] = {
        {"1013", R"({"QNH":1013})"},   {"1013.2", R"({"QNH":1013.2})"}, {"2992", R"({"QNH":2992})"},
        {"01013", R"({"QNH":1013})"},  {"1013.", R"({"QNH":1013})"},    {".5e3", R"({"QNH":500})"},
        {"-0.25", R"({"QNH":-0.25})"}, {"1e20", R"({"QNH":1e+20})"},
    };
    for (const auto& [value, datagram] : cases) {
        SCOPED_TRACE(value);
        const int pid =
            platform::spawnProcess({program.string(), "--tcp-port", "0", "--qnh-port",
                                    std::to_string(net::localPort(reader)), "--duration", "0.1", "--qnh", value},
                                   {}, {}, dir / "output.txt");
        ASSERT_GT(pid, 0);
        const std::optional<int> status = platform::waitProcess(pid, 30s);
        if (!status) platform::signalProcess(pid, platform::EndRequest::Kill);
        ASSERT_EQ(status, 0) << test::readFile(dir / "output.txt");
        ASSERT_EQ(net::waitReadable(reader, 20000), 1);
        char buffer[256];
        const long n = net::recvSocket(reader, buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)), datagram);
    }
    net::closeSocket(reader);
}

}  // namespace
}  // namespace skh
