#include "peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace vornisel::server {

bool samePeer(const Peer& a, const Peer& b) {
    if (a.address.ss_family != b.address.ss_family) return false;
    if (a.address.ss_family == AF_INET) {
        const auto& x = reinterpret_cast<const sockaddr_in&>(a.address);
        const auto& y = reinterpret_cast<const sockaddr_in&>(b.address);
        return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    if (a.address.ss_family == AF_INET6) {
        const auto& x = reinterpret_cast<const sockaddr_in6&>(a.address);
        const auto& y = reinterpret_cast<const sockaddr_in6&>(b.address);
        return x.sin6_port == y.sin6_port && x.sin6_scope_id == y.sin6_scope_id &&
               std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
    }
    return false;
}

std::string describe(const Peer& peer) {
    char text[INET6_ADDRSTRLEN] = "?";
    uint16_t port = 0;
    if (peer.address.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(peer.address);
        inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
        port = ntohs(a.sin_port);
    } else if (peer.address.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(peer.address);
        if (IN6_IS_ADDR_V4MAPPED(&a.sin6_addr))
            inet_ntop(AF_INET, &a.sin6_addr.s6_addr[12], text, sizeof text);
        else
            inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
        port = ntohs(a.sin6_port);
    }
    return std::string(text) + " port " + std::to_string(port);
}

}  // namespace vornisel::server
