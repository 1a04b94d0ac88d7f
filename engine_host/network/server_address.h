#pragma once

#include <sys/socket.h>

#include <atomic>
#include <optional>
#include <string>

namespace vornisel::enginehost {

struct ServerAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

// Where the server is: `server` as an address or host name with `port` (the default port when
// empty), or, for "auto", the first server that DNS-SD or the broadcast discovery finds. `name`
// gets "address:port" for the log. Nothing when it cannot be found (yet); gives up early once
// `stopping` is set.
std::optional<ServerAddress> findServer(const std::string& server, const std::string& port,
                                        const std::atomic<bool>& stopping, std::string& name);

// "address:port" of a socket address.
std::string describeAddress(const sockaddr* address, socklen_t length);

}  // namespace vornisel::enginehost
