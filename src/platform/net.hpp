#pragma once
// Sockets in the manner of Windows Sockets 2: calls return -1 (or
// kInvalidSocket) on failure, and wsaLastError() then gives the Winsock error
// number of the failure (mapped from errno), with wsaErrorText() its text.
// Sends never raise SIGPIPE. Named pipes are Unix-domain stream sockets.
#include <cstddef>
#include <cstdint>
#include <string>

namespace skh::platform {

using Socket = std::intptr_t;
inline constexpr Socket kInvalidSocket = -1;

// Winsock error numbers the program reports.
enum WsaError : int {
    kWsaEintr = 10004,
    kWsaEbadf = 10009,
    kWsaEacces = 10013,
    kWsaEfault = 10014,
    kWsaEinval = 10022,
    kWsaEmfile = 10024,
    kWsaEwouldblock = 10035,
    kWsaEinprogress = 10036,
    kWsaEalready = 10037,
    kWsaEnotsock = 10038,
    kWsaEmsgsize = 10040,
    kWsaEafnosupport = 10047,
    kWsaEaddrinuse = 10048,
    kWsaEaddrnotavail = 10049,
    kWsaEnetdown = 10050,
    kWsaEnetunreach = 10051,
    kWsaEconnaborted = 10053,
    kWsaEconnreset = 10054,
    kWsaEnobufs = 10055,
    kWsaEisconn = 10056,
    kWsaEnotconn = 10057,
    kWsaEshutdown = 10058,
    kWsaEtimedout = 10060,
    kWsaEconnrefused = 10061,
    kWsaEhostunreach = 10065,
    kWsaNotInitialised = 10093,
    kWsaHostNotFound = 11001,
};

int wsaFromErrno(int err);
int wsaLastError();
void wsaSetLastError(int wsaError);
std::string wsaErrorText(int wsaError);

// Balanced start/cleanup of the socket library (a counter here).
int wsaStartup();
int wsaCleanup();
int wsaStartupCount();

enum class Family { IPv4, IPv6, Unix };

// An opaque socket address.
struct SocketAddress {
    alignas(8) unsigned char bytes[128] = {};
    std::uint32_t length = 0;
    Family family = Family::IPv4;
};

// Resolves a numeric or named host and a port ("" host with passive: any
// address). Returns 0 or a Winsock error number.
int resolveAddress(const std::string& host, const std::string& port, Family family, bool passive,
                   SocketAddress& out);
// The address of a Unix-domain socket file; false when the path is too long.
bool unixAddress(const std::string& path, SocketAddress& out);
std::string addressText(const SocketAddress& address);  // "host:port" or the path

Socket openTcpSocket(Family family);
Socket openUdpSocket(Family family);
Socket openUnixStreamSocket();

int bindSocket(Socket s, const SocketAddress& address);
int listenSocket(Socket s, int backlog);
Socket acceptSocket(Socket s);
int connectSocket(Socket s, const SocketAddress& address);
// Connects with a timeout in milliseconds (the socket stays blocking).
int connectSocketTimeout(Socket s, const SocketAddress& address, int timeoutMs);
// One send call: returns the bytes sent or -1.
long sendSocket(Socket s, const void* data, std::size_t length);
// Sends everything, looping over partial sends; false on failure.
bool sendAll(Socket s, const void* data, std::size_t length);
long recvSocket(Socket s, void* buffer, std::size_t length);
long recvFromSocket(Socket s, void* buffer, std::size_t length, SocketAddress* from);
long sendToSocket(Socket s, const void* data, std::size_t length, const SocketAddress& to);
int shutdownSocket(Socket s);  // both directions
int closeSocket(Socket s);

int setNoDelay(Socket s, bool on);
int setReuseAddress(Socket s, bool on);
int setNonBlocking(Socket s, bool on);
int setReceiveBufferSize(Socket s, int bytes);
int setReceiveTimeout(Socket s, int milliseconds);
// Makes closeSocket reset the connection instead of closing it gracefully.
int setAbortiveClose(Socket s);

// Waits until the socket is readable (or, for writable, can be written):
// 1 ready, 0 timed out, -1 error.
int waitReadable(Socket s, int timeoutMs);
int waitWritable(Socket s, int timeoutMs);

// The local port a socket is bound to, or -1.
int localPort(Socket s);
// The local address a socket is bound to; 0 or -1.
int localAddress(Socket s, SocketAddress& out);

// The ports from which the system picks one for a bind to port 0 or an
// outgoing connection (both ends included).
struct PortRange {
    int first = 0;
    int last = 0;
};
PortRange ephemeralPortRange();

}  // namespace skh::platform
