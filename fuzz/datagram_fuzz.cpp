// A datagram as the server receives it, from anyone. The first byte picks the sender among 256
// addresses, the rest is the datagram. What the parser accepts must be exactly what the encoder
// writes for the parsed fields (one spelling per datagram), and the relay must never answer with
// more bytes than it was sent.
#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <vector>

#include "fuzz_input.h"
#include "network/wire.h"
#include "relay.h"

using namespace vornisel;

namespace {

size_t reencode(const wire::Datagram& d, std::span<uint8_t> out) {
    switch (d.kind) {
        case wire::Kind::audio: {
            std::array<float, wire::kMaxDatagram> samples{};
            const size_t count = wire::decodeSamples(d, samples);
            fuzz::require(count == size_t{d.frames} * d.channels, "every sample decodes");
            return wire::encodeAudio(out, d.stamp, d.format, d.channels,
                                     std::span(samples).first(count));
        }
        case wire::Kind::probe:
            return wire::encodeProbe(out, d.stamp, d.probe);
        case wire::Kind::probeReply:
            return wire::encodeProbeReply(out, d.stamp, d.probe);
        case wire::Kind::discover:
            return wire::encodeDiscover(out, d.stamp);
        case wire::Kind::announce:
            return wire::encodeAnnounce(out, d.stamp, d.announce);
        case wire::Kind::leave:
            return wire::encodeLeave(out, d.stamp);
    }
    return 0;
}

server::Peer sender(uint8_t host) {
    server::Peer peer;
    auto& a = reinterpret_cast<sockaddr_in&>(peer.address);
    a.sin_family = AF_INET;
    a.sin_port = htons(40000);
    a.sin_addr.s_addr = htonl(0x7F000000u | host);
    peer.length = sizeof a;
    return peer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    static std::array<uint8_t, wire::kMaxDatagram> out;
    if (const auto d = wire::parse(bytes)) {
        const size_t written = reencode(*d, out);
        fuzz::require(
            written == bytes.size() && std::equal(bytes.begin(), bytes.end(), out.begin()),
            "an accepted datagram is what the encoder writes for it");
    }
    // One relay for the whole run, so that sequences of inputs build up clients and streams.
    static server::Relay relay(28010, [](const std::string&) {});
    static uint64_t now = 0;
    now += 1000;
    const size_t answer = relay.handle(bytes, sender(data[0]), now, out);
    fuzz::require(answer <= bytes.size(), "an answer is never larger than its request");
    if (answer > 0)
        fuzz::require(wire::parse(std::span(out).first(answer)).has_value(),
                      "an answer is a well-formed datagram");
    relay.expire(now);
    return 0;
}
