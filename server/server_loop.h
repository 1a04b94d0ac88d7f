#pragma once

#include "relay.h"
#include "udp_endpoint.h"

namespace vornisel::server {

// Answers datagrams until SIGTERM, SIGINT or SIGHUP arrives (the caller blocks those signals in
// every thread first, see blockStopSignals). Returns the process's exit status.
int runServerLoop(UdpEndpoint& endpoint, Relay& relay);

// Blocks the stopping signals so that the loop reads them from a descriptor; call before any
// thread starts.
void blockStopSignals();

uint64_t monotonicMicros();

}  // namespace vornisel::server
