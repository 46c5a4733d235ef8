#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/net.hpp"

namespace skh::platform {

int localAddress(Socket s, SocketAddress& out) {
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        len > sizeof(out.bytes)) {
        wsaSetLastError(wsaFromErrno(errno));
        return -1;
    }
    std::memcpy(out.bytes, &addr, len);
    out.length = len;
    out.family = addr.ss_family == AF_INET6 ? Family::IPv6 : (addr.ss_family == AF_UNIX ? Family::Unix : Family::IPv4);
    return 0;
}

}  // namespace skh::platform
