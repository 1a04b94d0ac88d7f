#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The datagrams between an engine and the server (docs/protocol.md). Parsing reads a byte span
// into a view that points into it; encoding writes into the caller's buffer. Neither allocates,
// so both run on the audio and the receive path.
namespace vornisel::wire {

inline constexpr uint8_t kVersion = 1;
inline constexpr size_t kHeaderBytes = 24;
// An Ethernet frame's payload less the IPv4 and UDP headers: a datagram never fragments.
inline constexpr size_t kMaxDatagram = 1472;
inline constexpr size_t kAudioPrefixBytes = 4;
inline constexpr size_t kProbeBodyBytes = 16;
inline constexpr size_t kDiscoveryBodyBytes = 8;
inline constexpr uint8_t kMaxChannels = 32;
inline constexpr uint16_t kDefaultPort = 28010;
inline constexpr const char* kServiceType = "_vornisel._udp";

enum class Kind : uint8_t {
    audio = 1,
    probe = 2,
    probeReply = 3,
    discover = 4,
    announce = 5,
    leave = 6,
};

enum class Format : uint8_t { none = 0, s16 = 1, s24 = 2 };

// Who sent a datagram, its place in the sender's stream and when (the sender's monotonic clock).
struct Stamp {
    uint32_t clientId = 0;
    uint32_t sequence = 0;
    uint64_t timestampUs = 0;
};

// A time probe, and the server's answer to it: the client's send time comes back unchanged with
// the server's receive time beside it.
struct Probe {
    uint64_t clientSendUs = 0;
    uint64_t serverReceiveUs = 0;
};

// The server's answer to a discovery broadcast.
struct Announce {
    uint16_t port = 0;
    uint16_t clients = 0;
    uint16_t capacity = 0;
};

// A parsed datagram. `samples` points into the parsed bytes: the view lives as long as they do.
struct Datagram {
    Kind kind = Kind::audio;
    Format format = Format::none;
    uint8_t channels = 0;
    Stamp stamp;
    uint16_t frames = 0;
    std::span<const uint8_t> samples;
    Probe probe;
    Announce announce;
};

constexpr size_t sampleBytes(Format format) {
    return format == Format::s16 ? 2 : format == Format::s24 ? 3 : 0;
}

// The size of an audio datagram, and the most frames one datagram carries (0: none fit).
constexpr size_t audioBytes(Format format, size_t channels, size_t frames) {
    return kHeaderBytes + kAudioPrefixBytes + sampleBytes(format) * channels * frames;
}
constexpr size_t maxFrames(Format format, size_t channels) {
    const size_t frameBytes = sampleBytes(format) * channels;
    if (frameBytes == 0) return 0;
    return (kMaxDatagram - kHeaderBytes - kAudioPrefixBytes) / frameBytes;
}

// Empty for anything that is not exactly one well-formed datagram of this version.
std::optional<Datagram> parse(std::span<const uint8_t> bytes);

// Interleaved samples of an audio datagram as floats in [-1, 1); returns the samples written
// (frames × channels), 0 when `out` is too small or the datagram carries no audio.
size_t decodeSamples(const Datagram& datagram, std::span<float> out);

// Each returns the datagram's size, or 0 when it does not fit `out` or its fields are out of range
// (channels 1..32, at least one frame, at most kMaxDatagram bytes). Samples are interleaved,
// clipped to [-1, 1] and rounded; their count must be a multiple of `channels`.
size_t encodeAudio(std::span<uint8_t> out, const Stamp& stamp, Format format, uint8_t channels,
                   std::span<const float> samples);
size_t encodeProbe(std::span<uint8_t> out, const Stamp& stamp, const Probe& probe);
size_t encodeProbeReply(std::span<uint8_t> out, const Stamp& stamp, const Probe& probe);
size_t encodeDiscover(std::span<uint8_t> out, const Stamp& stamp);
size_t encodeAnnounce(std::span<uint8_t> out, const Stamp& stamp, const Announce& announce);
size_t encodeLeave(std::span<uint8_t> out, const Stamp& stamp);

}  // namespace vornisel::wire
