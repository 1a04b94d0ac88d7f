#include "relay.h"

#include <algorithm>

namespace vornisel::server {

namespace {

// A reader keeps another stream's audio in hand to ride out the jitter between the two. The cushion
// grows by a block each time the stream comes late (that mix lacks it once) and gives back what
// was never used only after a whole kTrimUs, so it settles at what the two streams' jitter needs
// instead of wandering. A reader more than kMostBehind blocks behind (one that stalled for long)
// is cut to kCatchUpTo at once, so a stall never leaves a lasting delay.
constexpr uint64_t kMostBehind = 16;
constexpr uint64_t kCatchUpTo = 2;
constexpr uint64_t kTrimUs = 2'000'000;

}  // namespace

Relay::Relay(uint16_t port, Log log) : port_(port), log_(std::move(log)) {}

size_t Relay::handle(std::span<const uint8_t> bytes, const Peer& from, uint64_t nowUs,
                     std::span<uint8_t> reply) {
    const auto d = wire::parse(bytes);
    if (!d) {
        ++counts_.malformed;
        return 0;
    }
    size_t size = 0;
    if (d->kind == wire::Kind::discover) {
        const wire::Announce announce{port_, static_cast<uint16_t>(table_.size()),
                                      static_cast<uint16_t>(kMaxClients)};
        size = wire::encodeAnnounce(reply, {d->stamp.clientId, d->stamp.sequence, nowUs}, announce);
    } else if (d->kind == wire::Kind::audio || d->kind == wire::Kind::probe) {
        const auto slot = clientFor(*d, from, nowUs);
        if (!slot) return 0;
        size = d->kind == wire::Kind::audio ? answerAudio(*d, *slot, nowUs, reply)
                                            : answerProbe(*d, nowUs, reply);
    } else if (d->kind == wire::Kind::leave) {
        const auto slot = table_.find(from);
        if (slot && table_[*slot].id == d->stamp.clientId) {
            table_.drop(*slot);
            log_("client " + describe(from) + " left");
        }
    } else {
        ++counts_.unexpected;
    }
    if (size > 0) ++counts_.answered;
    return size;
}

void Relay::expire(uint64_t nowUs) {
    if (nowUs < kQuietUs) return;
    const size_t dropped = table_.dropQuietSince(nowUs - kQuietUs);
    if (dropped > 0) log_(std::to_string(dropped) + " quiet client(s) dropped");
}

std::optional<size_t> Relay::clientFor(const wire::Datagram& d, const Peer& from, uint64_t nowUs) {
    auto slot = table_.find(from);
    if (!slot) {
        slot = table_.admit(from, d.stamp.clientId, nowUs);
        if (!slot) {
            ++counts_.refused;
            return std::nullopt;
        }
        log_("client " + describe(from) + " joined");
    } else if (table_[*slot].id != d.stamp.clientId) {
        table_.restart(*slot, d.stamp.clientId, nowUs);
        log_("client " + describe(from) + " restarted");
    }
    table_[*slot].lastHeardUs = nowUs;
    return slot;
}

bool Relay::acceptSequence(Client& client, uint32_t sequence) {
    if (!client.sequenced) {
        client.sequenced = true;
        client.lastSequence = sequence;
        return true;
    }
    // The difference read as signed copes with the counter wrapping.
    const auto ahead = static_cast<int32_t>(sequence - client.lastSequence);
    if (ahead == 0) {
        ++counts_.duplicates;
        return false;
    }
    if (ahead < 0) {
        ++counts_.late;
        return false;
    }
    counts_.lost += static_cast<uint32_t>(ahead) - 1;
    client.lastSequence = sequence;
    return true;
}

size_t Relay::answerAudio(const wire::Datagram& d, size_t slot, uint64_t nowUs,
                          std::span<uint8_t> reply) {
    Client& client = table_[slot];
    if (!acceptSequence(client, d.stamp.sequence)) return 0;
    if (client.ring.channels() != d.channels) client.ring.reset(d.channels);
    const size_t count = wire::decodeSamples(d, samples_);
    client.ring.write(std::span(samples_).first(count));

    std::fill_n(mix_.begin(), count, 0.0f);
    for (size_t other = 0; other < kMaxClients; ++other)
        if (other != slot && table_[other].active)
            mixFrom(client.reading[other], table_[other].ring, d.frames, d.channels, nowUs);
    // The answer names its recipient and echoes the request's place and time.
    return wire::encodeAudio(reply, {client.id, d.stamp.sequence, d.stamp.timestampUs}, d.format,
                             d.channels, std::span(mix_).first(count));
}

void Relay::mixFrom(Reading& reading, const StreamRing& ring, size_t frames, uint8_t channels,
                    uint64_t nowUs) {
    const uint64_t written = ring.written();
    if (!reading.set)
        reading = {true, written - std::min<uint64_t>(written, frames), nowUs, frames};
    const uint64_t behind = written - reading.cursor;
    if (behind >= kMostBehind * frames || behind > StreamRing::kFrames) {
        ++counts_.skipped;
        reading.cursor = written - std::min<uint64_t>(written, kCatchUpTo * frames);
    }
    if (written - reading.cursor < frames) {
        ++counts_.starved;
        return;
    }
    ring.mixInto(reading.cursor, frames, mix_, channels);
    reading.cursor += frames;
    reading.leastSpare = std::min(reading.leastSpare, written - reading.cursor);
    if (nowUs - reading.windowUs < kTrimUs) return;
    if (reading.leastSpare >= frames) {
        ++counts_.skipped;
        reading.cursor += reading.leastSpare - reading.leastSpare % frames;
    }
    reading.windowUs = nowUs;
    reading.leastSpare = written - reading.cursor;
}

size_t Relay::answerProbe(const wire::Datagram& d, uint64_t nowUs, std::span<uint8_t> reply) {
    const wire::Probe answer{d.probe.clientSendUs, nowUs};
    return wire::encodeProbeReply(reply, {d.stamp.clientId, d.stamp.sequence, nowUs}, answer);
}

}  // namespace vornisel::server
