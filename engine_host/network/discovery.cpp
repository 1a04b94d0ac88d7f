#include "network/discovery.h"

#include <arpa/inet.h>
#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/simple-watch.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "network/monotonic.h"
#include "network/wire.h"

namespace vornisel::enginehost {

namespace {

constexpr int64_t kWaitUs = 1000000;

ServerAddress fromAvahi(const AvahiAddress& address, AvahiIfIndex interface, uint16_t port) {
    ServerAddress found;
    if (address.proto == AVAHI_PROTO_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&found.storage);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        v4->sin_addr.s_addr = address.data.ipv4.address;
        found.length = sizeof *v4;
    } else {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&found.storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        std::memcpy(&v6->sin6_addr, address.data.ipv6.address, sizeof v6->sin6_addr);
        // A link-local address means nothing without the interface it was seen on.
        v6->sin6_scope_id = static_cast<uint32_t>(interface);
        found.length = sizeof *v6;
    }
    return found;
}

struct Browse {
    AvahiClient* client = nullptr;
    std::optional<ServerAddress> found;
};

void onResolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol,
                AvahiResolverEvent event, const char*, const char*, const char*, const char*,
                const AvahiAddress* address, uint16_t port, AvahiStringList*,
                AvahiLookupResultFlags, void* data) {
    auto* browse = static_cast<Browse*>(data);
    if (event == AVAHI_RESOLVER_FOUND && address && !browse->found)
        browse->found = fromAvahi(*address, interface, port);
    avahi_service_resolver_free(resolver);
}

void onService(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
               AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
               AvahiLookupResultFlags, void* data) {
    auto* browse = static_cast<Browse*>(data);
    if (event != AVAHI_BROWSER_NEW) return;
    avahi_service_resolver_new(browse->client, interface, protocol, name, type, domain,
                               AVAHI_PROTO_UNSPEC, static_cast<AvahiLookupFlags>(0), onResolved,
                               browse);
}

void onClientState(AvahiClient*, AvahiClientState, void*) {}

// Nothing when no Avahi daemon runs or it knows no server within the wait.
std::optional<ServerAddress> browseAvahi(const std::atomic<bool>& stopping) {
    AvahiSimplePoll* poll = avahi_simple_poll_new();
    if (!poll) return std::nullopt;
    Browse browse;
    int error = 0;
    browse.client = avahi_client_new(avahi_simple_poll_get(poll), static_cast<AvahiClientFlags>(0),
                                     onClientState, nullptr, &error);
    AvahiServiceBrowser* browser = nullptr;
    if (browse.client)
        browser = avahi_service_browser_new(browse.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                            wire::kServiceType, nullptr,
                                            static_cast<AvahiLookupFlags>(0), onService, &browse);
    const int64_t deadline = monotonicMicros() + kWaitUs;
    while (browser && !browse.found && !stopping && monotonicMicros() < deadline)
        if (avahi_simple_poll_iterate(poll, 50) != 0) break;
    // Freeing the client frees its browser and any resolver still running.
    if (browse.client) avahi_client_free(browse.client);
    avahi_simple_poll_free(poll);
    return browse.found;
}

sockaddr_in broadcastTarget() {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(wire::kDefaultPort);
    target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    // "address" or "address:port", for tests that must keep to loopback.
    const char* given = std::getenv("VORNISEL_HOST_DISCOVERY_ADDRESS");
    if (!given) return target;
    const std::string text = given;
    const size_t colon = text.find(':');
    ::inet_pton(AF_INET, text.substr(0, colon).c_str(), &target.sin_addr);
    if (colon != std::string::npos)
        target.sin_port = htons(static_cast<uint16_t>(std::atoi(text.c_str() + colon + 1)));
    return target;
}

// Asks the local network who serves, and takes the first announcement.
std::optional<ServerAddress> askByBroadcast(const std::atomic<bool>& stopping) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    std::array<uint8_t, wire::kMaxDatagram> bytes{};
    const sockaddr_in target = broadcastTarget();
    const size_t size =
        wire::encodeDiscover(bytes, {0, 0, static_cast<uint64_t>(monotonicMicros())});
    std::optional<ServerAddress> found;
    if (size > 0 && ::sendto(fd, bytes.data(), size, 0, reinterpret_cast<const sockaddr*>(&target),
                             sizeof target) == static_cast<ssize_t>(size)) {
        const int64_t deadline = monotonicMicros() + kWaitUs;
        while (!found && !stopping && monotonicMicros() < deadline) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            ServerAddress from;
            from.length = sizeof from.storage;
            const ssize_t n = ::recvfrom(fd, bytes.data(), bytes.size(), 0,
                                         reinterpret_cast<sockaddr*>(&from.storage), &from.length);
            if (n <= 0) continue;
            auto datagram = wire::parse(std::span(bytes.data(), static_cast<size_t>(n)));
            if (!datagram || datagram->kind != wire::Kind::announce) continue;
            if (datagram->announce.port != 0)
                reinterpret_cast<sockaddr_in*>(&from.storage)->sin_port =
                    htons(datagram->announce.port);
            found = from;
        }
    }
    ::close(fd);
    return found;
}

}  // namespace

std::optional<ServerAddress> discoverServer(const std::atomic<bool>& stopping) {
    if (auto found = browseAvahi(stopping)) return found;
    return askByBroadcast(stopping);
}

}  // namespace vornisel::enginehost
