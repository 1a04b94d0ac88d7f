#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "peer.h"
#include "stream_ring.h"

namespace vornisel::server {

inline constexpr size_t kMaxClients = 64;

// How far one client's mix has read into another client's stream, and the least it kept in hand
// since `windowUs`.
struct Reading {
    bool set = false;
    uint64_t cursor = 0;
    uint64_t windowUs = 0;
    uint64_t leastSpare = 0;
};

// One admitted engine: its address, its stream and, for every other slot, its reading of that
// slot's stream.
struct Client {
    bool active = false;
    Peer peer;
    uint32_t id = 0;
    uint64_t lastHeardUs = 0;
    bool sequenced = false;
    uint32_t lastSequence = 0;
    StreamRing ring;
    std::array<Reading, kMaxClients> reading{};
};

// The fixed set of client slots, all allocated up front so that admitting a client allocates
// nothing.
class ClientTable {
public:
    std::optional<size_t> find(const Peer& peer) const;
    // A free slot for `peer`, started afresh with `id`; empty when all slots are taken.
    std::optional<size_t> admit(const Peer& peer, uint32_t id, uint64_t nowUs);
    // Starts slot `slot` afresh with `id` (an engine that restarted on the same address).
    void restart(size_t slot, uint32_t id, uint64_t nowUs);
    void drop(size_t slot);
    // Drops every client not heard from since `oldestUs`; returns how many.
    size_t dropQuietSince(uint64_t oldestUs);

    size_t size() const { return count_; }
    Client& operator[](size_t slot) { return slots_[slot]; }
    const Client& operator[](size_t slot) const { return slots_[slot]; }

private:
    void forgetReaders(size_t slot);

    std::array<Client, kMaxClients> slots_;
    size_t count_ = 0;
};

}  // namespace vornisel::server
