#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vornisel::server {

// Announces the server as `_vornisel._udp` through the Avahi daemon, from Avahi's own thread so
// that the receive loop never waits for it. Without a daemon it says so once and waits for one
// to appear; the server runs on either way (engines then find it by broadcast).
class DnsSdAnnouncer {
public:
    DnsSdAnnouncer(std::string name, uint16_t port);
    ~DnsSdAnnouncer();
    DnsSdAnnouncer(const DnsSdAnnouncer&) = delete;
    DnsSdAnnouncer& operator=(const DnsSdAnnouncer&) = delete;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace vornisel::server
