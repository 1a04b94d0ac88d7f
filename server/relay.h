#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "client_table.h"
#include "network/wire.h"

namespace vornisel::server {

// What the relay saw, for the log and the tests; nothing here is logged per packet.
struct RelayCounts {
    uint64_t answered = 0;
    uint64_t malformed = 0;   // not a datagram of our version
    uint64_t unexpected = 0;  // well-formed, but not something a client sends
    uint64_t refused = 0;     // from a new address while every slot is taken
    uint64_t duplicates = 0;  // audio with the sequence number just seen
    uint64_t late = 0;        // audio older than the newest seen: too late to mix
    uint64_t lost = 0;        // sequence numbers skipped over
    uint64_t starved = 0;     // a mix that found too little of another stream
    uint64_t skipped = 0;     // a mix that dropped audio of a stream it had fallen behind
};

// The server's handling of datagrams, without a socket or a clock of its own: each datagram is
// answered by at most one datagram, never larger than itself, written into the caller's buffer.
class Relay {
public:
    static constexpr uint64_t kQuietUs = 5'000'000;
    using Log = std::function<void(const std::string&)>;

    Relay(uint16_t port, Log log);

    // Handles one received datagram; returns the answer's size in `reply` (0: no answer).
    size_t handle(std::span<const uint8_t> bytes, const Peer& from, uint64_t nowUs,
                  std::span<uint8_t> reply);
    // Drops the clients that have been quiet for kQuietUs.
    void expire(uint64_t nowUs);

    size_t clients() const { return table_.size(); }
    const RelayCounts& counts() const { return counts_; }

private:
    std::optional<size_t> clientFor(const wire::Datagram& d, const Peer& from, uint64_t nowUs);
    size_t answerAudio(const wire::Datagram& d, size_t slot, uint64_t nowUs,
                       std::span<uint8_t> reply);
    size_t answerProbe(const wire::Datagram& d, uint64_t nowUs, std::span<uint8_t> reply);
    bool acceptSequence(Client& client, uint32_t sequence);
    void mixFrom(Reading& reading, const StreamRing& ring, size_t frames, uint8_t channels,
                 uint64_t nowUs);

    uint16_t port_;
    Log log_;
    ClientTable table_;
    RelayCounts counts_;
    std::array<float, wire::kMaxDatagram> samples_{};
    std::array<float, wire::kMaxDatagram> mix_{};
};

}  // namespace vornisel::server
