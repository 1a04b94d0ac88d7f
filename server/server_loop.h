#pragma once

#include "relay.h"
#include "udp_endpoint.h"

namespace vornisel::server {

// Answers datagrams until SIGTERM, SIGINT or SIGHUP arrives. Returns the process's exit status.
int runServerLoop(UdpEndpoint& endpoint, Relay& relay);

// Keeps the stopping signals away from threads started after it (Avahi's), so that they reach
// the loop's thread; call before any thread starts.
void blockStopSignals();

uint64_t monotonicMicros();

}  // namespace vornisel::server
