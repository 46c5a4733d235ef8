// Ports for listeners whose number is fixed before they start (the program
// as a child process, a restart on the same ports): no test running beside
// this one, and nothing the system hands out, may take one in between.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/net.hpp"
#include "platform/single_instance.hpp"
#include "support/reserved_port.hpp"

namespace skh {
namespace {

using test::ReservedPort;

// The port a fresh socket gets from a bind to port 0.
int systemPick(bool udp) {
    const platform::Socket s =
        udp ? platform::openUdpSocket(platform::Family::IPv4) : platform::openTcpSocket(platform::Family::IPv4);
    platform::SocketAddress any;
    platform::resolveAddress("127.0.0.1", "0", platform::Family::IPv4, false, any);
    const int port = platform::bindSocket(s, any) == 0 ? platform::localPort(s) : -1;
    platform::closeSocket(s);
    return port;
}

// Binds as the program does: the TCP server with SO_REUSEADDR, the readers without.
bool programCanListen(int port, bool udp) {
    const platform::Socket s =
        udp ? platform::openUdpSocket(platform::Family::IPv4) : platform::openTcpSocket(platform::Family::IPv4);
    if (!udp) platform::setReuseAddress(s, true);
    platform::SocketAddress address;
    platform::resolveAddress("127.0.0.1", std::to_string(port), platform::Family::IPv4, false, address);
    const bool ok = platform::bindSocket(s, address) == 0 && (udp || platform::listenSocket(s, 1) == 0);
    platform::closeSocket(s);
    return ok;
}

TEST(ReservedPorts, NeitherAnotherTestNorTheSystemCanTakeOne) {
    // The range the system picks from is the one it reports.
    const platform::PortRange system = platform::ephemeralPortRange();
    for (const bool udp : {false, true}) {
        for (int i = 0; i < 20; ++i) {
            const int port = systemPick(udp);
            EXPECT_GE(port, system.first) << "udp " << udp;
            EXPECT_LE(port, system.last) << "udp " << udp;
        }
    }

    // Tests side by side, each with its own ports.
    std::vector<ReservedPort> ports(6);
    std::set<int> numbers;
    int held = 0;
    for (const ReservedPort& p : ports) {
        const int port = p.number();
        SCOPED_TRACE(port);
        numbers.insert(port);
        // Never handed out by a bind to port 0 or to an outgoing connection.
        EXPECT_TRUE(port < system.first || port > system.last);
        // Another process asking for it is refused.
        const platform::SingleInstanceLock other("port-" + std::to_string(port), ReservedPort::lockFolder());
        EXPECT_FALSE(other.acquired());
        // The program can listen on it.
        EXPECT_TRUE(programCanListen(port, false));
        EXPECT_TRUE(programCanListen(port, true));
        held = port;
    }
    EXPECT_EQ(numbers.size(), ports.size());

    // Given back when the test is done.
    ports.clear();
    const platform::SingleInstanceLock again("port-" + std::to_string(held), ReservedPort::lockFolder());
    EXPECT_TRUE(again.acquired());
}

}  // namespace
}  // namespace skh
