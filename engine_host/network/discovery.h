#pragma once

#include <atomic>
#include <optional>

#include "network/server_address.h"

namespace vornisel::enginehost {

// Looks for a server on the local network: first through the Avahi daemon (DNS-SD, service
// "_vornisel._udp"), then, where no daemon runs or it found nothing, by a discovery datagram
// broadcast to the server port (VORNISEL_HOST_DISCOVERY_ADDRESS, "address[:port]", for tests
// only, sends it elsewhere). Each way waits at most about a second.
std::optional<ServerAddress> discoverServer(const std::atomic<bool>& stopping);

}  // namespace vornisel::enginehost
