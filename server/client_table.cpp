#include "client_table.h"

namespace vornisel::server {

std::optional<size_t> ClientTable::find(const Peer& peer) const {
    for (size_t i = 0; i < kMaxClients; ++i)
        if (slots_[i].active && samePeer(slots_[i].peer, peer)) return i;
    return std::nullopt;
}

std::optional<size_t> ClientTable::admit(const Peer& peer, uint32_t id, uint64_t nowUs) {
    for (size_t i = 0; i < kMaxClients; ++i) {
        if (slots_[i].active) continue;
        slots_[i].active = true;
        slots_[i].peer = peer;
        ++count_;
        restart(i, id, nowUs);
        return i;
    }
    return std::nullopt;
}

void ClientTable::restart(size_t slot, uint32_t id, uint64_t nowUs) {
    Client& client = slots_[slot];
    client.id = id;
    client.lastHeardUs = nowUs;
    client.sequenced = false;
    client.ring.reset(0);
    client.reading.fill({});
    forgetReaders(slot);
}

void ClientTable::drop(size_t slot) {
    if (!slots_[slot].active) return;
    slots_[slot].active = false;
    --count_;
}

size_t ClientTable::dropQuietSince(uint64_t oldestUs) {
    size_t dropped = 0;
    for (size_t i = 0; i < kMaxClients; ++i) {
        if (!slots_[i].active || slots_[i].lastHeardUs >= oldestUs) continue;
        drop(i);
        ++dropped;
    }
    return dropped;
}

// A new stream in `slot` starts every reader at its newest audio.
void ClientTable::forgetReaders(size_t slot) {
    for (auto& client : slots_)
        client.reading[slot].set = false;
}

}  // namespace vornisel::server
