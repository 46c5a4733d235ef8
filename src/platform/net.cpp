#include "platform/net.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace skh::platform {

namespace {

thread_local int t_lastError = 0;
std::atomic<int> s_startups{0};

int fail() {
    t_lastError = wsaFromErrno(errno);
    return -1;
}

int familyOf(Family f) {
    switch (f) {
        case Family::IPv4: return AF_INET;
        case Family::IPv6: return AF_INET6;
        case Family::Unix: return AF_UNIX;
    }
    return AF_UNSPEC;
}

Socket openSocket(int domain, int type, int protocol) {
    const int fd = ::socket(domain, type | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        fail();
        return kInvalidSocket;
    }
    return fd;
}

int fdOf(Socket s) { return static_cast<int>(s); }

int waitFor(Socket s, short events, int timeoutMs) {
    pollfd p{fdOf(s), events, 0};
    while (true) {
        const int rc = ::poll(&p, 1, timeoutMs);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) return fail();
        if (rc == 0) return 0;
        if ((p.revents & POLLNVAL) != 0) {
            t_lastError = kWsaEnotsock;
            return -1;
        }
        return 1;
    }
}

}  // namespace

int wsaFromErrno(int err) {
    switch (err) {
        case 0: return 0;
        case EINTR: return kWsaEintr;
        case EBADF: return kWsaEnotsock;
        case EACCES:
        case EPERM: return kWsaEacces;
        case EFAULT: return kWsaEfault;
        case EINVAL: return kWsaEinval;
        case EMFILE:
        case ENFILE: return kWsaEmfile;
        case EAGAIN: return kWsaEwouldblock;
        case EINPROGRESS: return kWsaEinprogress;
        case EALREADY: return kWsaEalready;
        case ENOTSOCK: return kWsaEnotsock;
        case EMSGSIZE: return kWsaEmsgsize;
        case EAFNOSUPPORT: return kWsaEafnosupport;
        case EADDRINUSE: return kWsaEaddrinuse;
        case EADDRNOTAVAIL: return kWsaEaddrnotavail;
        case ENETDOWN: return kWsaEnetdown;
        case ENETUNREACH: return kWsaEnetunreach;
        case ECONNABORTED: return kWsaEconnaborted;
        case ECONNRESET:
        case EPIPE: return kWsaEconnreset;
        case ENOBUFS:
        case ENOMEM: return kWsaEnobufs;
        case EISCONN: return kWsaEisconn;
        case ENOTCONN: return kWsaEnotconn;
        case ESHUTDOWN: return kWsaEshutdown;
        case ETIMEDOUT: return kWsaEtimedout;
        case ECONNREFUSED:
        case ENOENT: return kWsaEconnrefused;  // a pipe socket file that is not there
        case EHOSTUNREACH: return kWsaEhostunreach;
        default: return kWsaEinval;
    }
}

int wsaLastError() { return t_lastError; }

void wsaSetLastError(int wsaError) { t_lastError = wsaError; }

std::string wsaErrorText(int wsaError) {
    switch (wsaError) {
        case 0: return "The operation completed successfully.";
        case kWsaEintr: return "A blocking operation was interrupted.";
        case kWsaEacces: return "An attempt was made to access a socket in a way forbidden by its access permissions.";
        case kWsaEinval: return "An invalid argument was supplied.";
        case kWsaEmfile: return "Too many open sockets.";
        case kWsaEwouldblock: return "A non-blocking socket operation could not be completed immediately.";
        case kWsaEnotsock: return "An operation was attempted on something that is not a socket.";
        case kWsaEmsgsize: return "A message sent on a datagram socket was larger than the internal message buffer.";
        case kWsaEaddrinuse: return "Only one usage of each socket address (protocol/network address/port) is normally permitted.";
        case kWsaEaddrnotavail: return "The requested address is not valid in its context.";
        case kWsaEnetunreach: return "A socket operation was attempted to an unreachable network.";
        case kWsaEconnaborted: return "An established connection was aborted by the software in your host machine.";
        case kWsaEconnreset: return "An existing connection was forcibly closed by the remote host.";
        case kWsaEnotconn: return "A request to send or receive data was disallowed because the socket is not connected.";
        case kWsaEtimedout: return "A connection attempt failed because the connected party did not properly respond after a period of time.";
        case kWsaEconnrefused: return "No connection could be made because the target machine actively refused it.";
        case kWsaEhostunreach: return "A socket operation was attempted to an unreachable host.";
        case kWsaNotInitialised: return "Either the application has not called WSAStartup, or WSAStartup failed.";
        case kWsaHostNotFound: return "No such host is known.";
        default: return "Socket error " + std::to_string(wsaError) + ".";
    }
}

int wsaStartup() {
    s_startups.fetch_add(1);
    return 0;
}

int wsaCleanup() {
    int current = s_startups.load();
    while (current > 0 && !s_startups.compare_exchange_weak(current, current - 1)) {
    }
    if (current <= 0) {
        t_lastError = kWsaNotInitialised;
        return -1;
    }
    return 0;
}

int wsaStartupCount() { return s_startups.load(); }

int resolveAddress(const std::string& host, const std::string& port, Family family, bool passive,
                   SocketAddress& out) {
    addrinfo hints{};
    hints.ai_family = familyOf(family);
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = passive ? AI_PASSIVE : 0;
    addrinfo* result = nullptr;
    const int rc = ::getaddrinfo(host.empty() ? nullptr : host.c_str(), port.c_str(), &hints, &result);
    if (rc != 0 || result == nullptr) return kWsaHostNotFound;
    if (result->ai_addrlen > sizeof(out.bytes)) {
        ::freeaddrinfo(result);
        return kWsaEfault;
    }
    std::memcpy(out.bytes, result->ai_addr, result->ai_addrlen);
    out.length = static_cast<std::uint32_t>(result->ai_addrlen);
    out.family = family;
    ::freeaddrinfo(result);
    return 0;
}

bool unixAddress(const std::string& path, SocketAddress& out) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof(addr.sun_path)) return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.data(), path.size());
    static_assert(sizeof(addr) <= sizeof(out.bytes));
    std::memcpy(out.bytes, &addr, sizeof(addr));
    out.length = static_cast<std::uint32_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    out.family = Family::Unix;
    return true;
}

std::string addressText(const SocketAddress& address) {
    const auto* sa = reinterpret_cast<const sockaddr*>(address.bytes);
    char host[INET6_ADDRSTRLEN] = {};
    if (sa->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address.bytes);
        ::inet_ntop(AF_INET, &in->sin_addr, host, sizeof(host));
        return std::string(host) + ":" + std::to_string(ntohs(in->sin_port));
    }
    if (sa->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address.bytes);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof(host));
        return std::string("[") + host + "]:" + std::to_string(ntohs(in6->sin6_port));
    }
    if (sa->sa_family == AF_UNIX) return reinterpret_cast<const sockaddr_un*>(address.bytes)->sun_path;
    return "?";
}

Socket openTcpSocket(Family family) { return openSocket(familyOf(family), SOCK_STREAM, IPPROTO_TCP); }

Socket openUdpSocket(Family family) { return openSocket(familyOf(family), SOCK_DGRAM, IPPROTO_UDP); }

Socket openUnixStreamSocket() { return openSocket(AF_UNIX, SOCK_STREAM, 0); }

int bindSocket(Socket s, const SocketAddress& address) {
    if (::bind(fdOf(s), reinterpret_cast<const sockaddr*>(address.bytes), address.length) != 0) return fail();
    return 0;
}

int listenSocket(Socket s, int backlog) {
    if (::listen(fdOf(s), backlog) != 0) return fail();
    return 0;
}

Socket acceptSocket(Socket s) {
    while (true) {
        const int fd = ::accept4(fdOf(s), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) return fd;
        if (errno == EINTR) continue;
        fail();
        return kInvalidSocket;
    }
}

int connectSocket(Socket s, const SocketAddress& address) {
    while (::connect(fdOf(s), reinterpret_cast<const sockaddr*>(address.bytes), address.length) != 0) {
        if (errno == EINTR) continue;
        return fail();
    }
    return 0;
}

int connectSocketTimeout(Socket s, const SocketAddress& address, int timeoutMs) {
    if (setNonBlocking(s, true) != 0) return -1;
    int rc = ::connect(fdOf(s), reinterpret_cast<const sockaddr*>(address.bytes), address.length);
    if (rc != 0 && errno == EINPROGRESS) {
        const int ready = waitWritable(s, timeoutMs);
        if (ready == 0) {
            t_lastError = kWsaEtimedout;
            setNonBlocking(s, false);
            return -1;
        }
        if (ready < 0) {
            setNonBlocking(s, false);
            return -1;
        }
        int soError = 0;
        socklen_t len = sizeof(soError);
        ::getsockopt(fdOf(s), SOL_SOCKET, SO_ERROR, &soError, &len);
        if (soError != 0) {
            errno = soError;
            rc = -1;
        } else {
            rc = 0;
        }
    }
    const int err = errno;
    setNonBlocking(s, false);
    if (rc != 0) {
        errno = err;
        return fail();
    }
    return 0;
}

long sendSocket(Socket s, const void* data, std::size_t length) {
    while (true) {
        const ssize_t n = ::send(fdOf(s), data, length, MSG_NOSIGNAL);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        return fail();
    }
}

bool sendAll(Socket s, const void* data, std::size_t length) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const long n = sendSocket(s, p, length);
        if (n < 0) return false;
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

long recvSocket(Socket s, void* buffer, std::size_t length) {
    while (true) {
        const ssize_t n = ::recv(fdOf(s), buffer, length, 0);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        return fail();
    }
}

long recvFromSocket(Socket s, void* buffer, std::size_t length, SocketAddress* from) {
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    while (true) {
        const ssize_t n = ::recvfrom(fdOf(s), buffer, length, 0, reinterpret_cast<sockaddr*>(&addr), &len);
        if (n >= 0) {
            if (from != nullptr && len <= sizeof(from->bytes)) {
                std::memcpy(from->bytes, &addr, len);
                from->length = len;
                from->family = addr.ss_family == AF_INET6 ? Family::IPv6 : Family::IPv4;
            }
            return static_cast<long>(n);
        }
        if (errno == EINTR) continue;
        return fail();
    }
}

long sendToSocket(Socket s, const void* data, std::size_t length, const SocketAddress& to) {
    while (true) {
        const ssize_t n = ::sendto(fdOf(s), data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(to.bytes),
                                   to.length);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        return fail();
    }
}

int shutdownSocket(Socket s) {
    if (::shutdown(fdOf(s), SHUT_RDWR) != 0) return fail();
    return 0;
}

int closeSocket(Socket s) {
    if (s == kInvalidSocket) {
        t_lastError = kWsaEnotsock;
        return -1;
    }
    if (::close(fdOf(s)) != 0) return fail();
    return 0;
}

int setNoDelay(Socket s, bool on) {
    const int v = on ? 1 : 0;
    if (::setsockopt(fdOf(s), IPPROTO_TCP, TCP_NODELAY, &v, sizeof(v)) != 0) return fail();
    return 0;
}

int setReuseAddress(Socket s, bool on) {
    const int v = on ? 1 : 0;
    if (::setsockopt(fdOf(s), SOL_SOCKET, SO_REUSEADDR, &v, sizeof(v)) != 0) return fail();
    return 0;
}

int setNonBlocking(Socket s, bool on) {
    const int flags = ::fcntl(fdOf(s), F_GETFL, 0);
    if (flags < 0) return fail();
    const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (::fcntl(fdOf(s), F_SETFL, wanted) != 0) return fail();
    return 0;
}

int setReceiveBufferSize(Socket s, int bytes) {
    if (::setsockopt(fdOf(s), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof(bytes)) != 0) return fail();
    return 0;
}

int setReceiveTimeout(Socket s, int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    if (::setsockopt(fdOf(s), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv)) != 0) return fail();
    return 0;
}

int setAbortiveClose(Socket s) {
    const linger l{1, 0};
    if (::setsockopt(fdOf(s), SOL_SOCKET, SO_LINGER, &l, sizeof(l)) != 0) return fail();
    return 0;
}

int waitReadable(Socket s, int timeoutMs) { return waitFor(s, POLLIN, timeoutMs); }

int waitWritable(Socket s, int timeoutMs) { return waitFor(s, POLLOUT, timeoutMs); }

int localPort(Socket s) {
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    if (::getsockname(fdOf(s), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return fail();
    if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
    if (addr.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
    return -1;
}

int localAddress(Socket s, SocketAddress& out) {
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    if (::getsockname(fdOf(s), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return fail();
    if (len > sizeof(out.bytes)) {
        t_lastError = kWsaEfault;
        return -1;
    }
    std::memcpy(out.bytes, &addr, len);
    out.length = len;
    out.family = addr.ss_family == AF_INET6 ? Family::IPv6 : (addr.ss_family == AF_UNIX ? Family::Unix : Family::IPv4);
    return 0;
}

PortRange ephemeralPortRange() {
    PortRange range{32768, 60999};  // the kernel's default
    std::ifstream in("/proc/sys/net/ipv4/ip_local_port_range");
    PortRange read;
    if (in >> read.first >> read.last && read.first > 0 && read.first <= read.last && read.last <= 65535) range = read;
    return range;
}

}  // namespace skh::platform
