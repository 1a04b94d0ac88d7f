#include "network/server_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstring>

#include "network/discovery.h"
#include "network/wire.h"

namespace vornisel::enginehost {

std::string describeAddress(const sockaddr* address, socklen_t length) {
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(address, length, host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    const bool v6 = address->sa_family == AF_INET6;
    return (v6 ? "[" : "") + std::string(host) + (v6 ? "]:" : ":") + service;
}

std::optional<ServerAddress> findServer(const std::string& server, const std::string& port,
                                        const std::atomic<bool>& stopping, std::string& name) {
    std::optional<ServerAddress> found;
    if (server == "auto") {
        found = discoverServer(stopping);
    } else {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo* list = nullptr;
        const std::string service = port.empty() ? std::to_string(wire::kDefaultPort) : port;
        if (server.empty() || ::getaddrinfo(server.c_str(), service.c_str(), &hints, &list) != 0)
            return std::nullopt;
        found.emplace();
        std::memcpy(&found->storage, list->ai_addr, list->ai_addrlen);
        found->length = list->ai_addrlen;
        ::freeaddrinfo(list);
    }
    if (found)
        name = describeAddress(reinterpret_cast<const sockaddr*>(&found->storage), found->length);
    return found;
}

}  // namespace vornisel::enginehost
