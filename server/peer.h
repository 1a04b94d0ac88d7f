#pragma once

#include <sys/socket.h>

#include <string>

namespace vornisel::server {

// Where a datagram came from: a client is known by its address and port.
struct Peer {
    sockaddr_storage address{};
    socklen_t length = 0;
};

bool samePeer(const Peer& a, const Peer& b);
// "192.0.2.7 port 50000" for the log; IPv4 clients of a dual-stack socket show as IPv4.
std::string describe(const Peer& peer);

}  // namespace vornisel::server
