#include "network/wire.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vornisel::wire {

namespace {

constexpr uint8_t kMagic[4] = {'V', 'N', 'S', 'L'};

uint64_t readLe(const uint8_t* at, size_t bytes) {
    uint64_t value = 0;
    for (size_t i = bytes; i-- > 0;)
        value = (value << 8) | at[i];
    return value;
}

void writeLe(uint8_t* at, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool allZero(const uint8_t* at, size_t bytes) {
    return std::all_of(at, at + bytes, [](uint8_t b) { return b == 0; });
}

// The body's size that each kind must have; audio's depends on its own fields.
std::optional<size_t> fixedBody(Kind kind) {
    switch (kind) {
        case Kind::probe:
        case Kind::probeReply:
            return kProbeBodyBytes;
        case Kind::discover:
        case Kind::announce:
            return kDiscoveryBodyBytes;
        case Kind::leave:
            return 0;
        case Kind::audio:
            return std::nullopt;
    }
    return std::nullopt;
}

bool knownKind(uint8_t kind) {
    return kind >= 1 && kind <= 6;
}

std::optional<Datagram> parseHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderBytes || bytes.size() > kMaxDatagram) return std::nullopt;
    const uint8_t* at = bytes.data();
    if (std::memcmp(at, kMagic, sizeof kMagic) != 0 || at[4] != kVersion || !knownKind(at[5]))
        return std::nullopt;
    Datagram d;
    d.kind = static_cast<Kind>(at[5]);
    d.format = static_cast<Format>(at[6]);
    d.channels = at[7];
    d.stamp = {static_cast<uint32_t>(readLe(at + 8, 4)), static_cast<uint32_t>(readLe(at + 12, 4)),
               readLe(at + 16, 8)};
    return d;
}

bool parseAudio(std::span<const uint8_t> bytes, Datagram& d) {
    if (sampleBytes(d.format) == 0 || d.channels == 0 || d.channels > kMaxChannels) return false;
    if (bytes.size() < kHeaderBytes + kAudioPrefixBytes) return false;
    const uint8_t* prefix = bytes.data() + kHeaderBytes;
    d.frames = static_cast<uint16_t>(readLe(prefix, 2));
    if (d.frames == 0 || !allZero(prefix + 2, 2)) return false;
    if (bytes.size() != audioBytes(d.format, d.channels, d.frames)) return false;
    d.samples = bytes.subspan(kHeaderBytes + kAudioPrefixBytes);
    return true;
}

bool parseFixed(std::span<const uint8_t> bytes, Datagram& d) {
    const auto body = fixedBody(d.kind);
    if (d.format != Format::none || d.channels != 0) return false;
    if (bytes.size() != kHeaderBytes + *body) return false;
    const uint8_t* at = bytes.data() + kHeaderBytes;
    switch (d.kind) {
        case Kind::probe:
        case Kind::probeReply:
            d.probe = {readLe(at, 8), readLe(at + 8, 8)};
            return true;
        case Kind::discover:
            return allZero(at, kDiscoveryBodyBytes);
        case Kind::announce:
            d.announce = {static_cast<uint16_t>(readLe(at, 2)),
                          static_cast<uint16_t>(readLe(at + 2, 2)),
                          static_cast<uint16_t>(readLe(at + 4, 2))};
            return allZero(at + 6, 2);
        default:
            return true;
    }
}

// Writes the header and returns where the body starts, or null when `size` does not fit.
uint8_t* beginDatagram(std::span<uint8_t> out, size_t size, Kind kind, Format format,
                       uint8_t channels, const Stamp& stamp) {
    if (size > out.size() || size > kMaxDatagram) return nullptr;
    uint8_t* at = out.data();
    std::memcpy(at, kMagic, sizeof kMagic);
    at[4] = kVersion;
    at[5] = static_cast<uint8_t>(kind);
    at[6] = static_cast<uint8_t>(format);
    at[7] = channels;
    writeLe(at + 8, stamp.clientId, 4);
    writeLe(at + 12, stamp.sequence, 4);
    writeLe(at + 16, stamp.timestampUs, 8);
    return at + kHeaderBytes;
}

size_t encodeProbeKind(std::span<uint8_t> out, Kind kind, const Stamp& stamp, const Probe& probe) {
    constexpr size_t size = kHeaderBytes + kProbeBodyBytes;
    uint8_t* body = beginDatagram(out, size, kind, Format::none, 0, stamp);
    if (body == nullptr) return 0;
    writeLe(body, probe.clientSendUs, 8);
    writeLe(body + 8, probe.serverReceiveUs, 8);
    return size;
}

int32_t quantise(float sample, float scale) {
    const float clipped = std::clamp(std::isnan(sample) ? 0.0f : sample, -1.0f, 1.0f);
    const long value = std::lrint(clipped * scale);
    return static_cast<int32_t>(
        std::clamp(value, static_cast<long>(-scale), static_cast<long>(scale) - 1));
}

float fullScale(Format format) {
    return format == Format::s16 ? 32768.0f : 8388608.0f;
}

}  // namespace

std::optional<Datagram> parse(std::span<const uint8_t> bytes) {
    auto d = parseHeader(bytes);
    if (!d) return std::nullopt;
    const bool ok = d->kind == Kind::audio ? parseAudio(bytes, *d) : parseFixed(bytes, *d);
    if (!ok) return std::nullopt;
    return d;
}

size_t decodeSamples(const Datagram& datagram, std::span<float> out) {
    const size_t width = sampleBytes(datagram.format);
    const size_t count = static_cast<size_t>(datagram.frames) * datagram.channels;
    if (datagram.kind != Kind::audio || width == 0 || count > out.size() ||
        datagram.samples.size() != count * width)
        return 0;
    const float scale = fullScale(datagram.format);
    const uint8_t* at = datagram.samples.data();
    const int shift = 32 - 8 * static_cast<int>(width);
    for (size_t i = 0; i < count; ++i, at += width) {
        // Shift the sample to the top of a 32-bit word and back to carry its sign.
        const auto raw = static_cast<uint32_t>(readLe(at, width)) << shift;
        out[i] = static_cast<float>(static_cast<int32_t>(raw) >> shift) / scale;
    }
    return count;
}

size_t encodeAudio(std::span<uint8_t> out, const Stamp& stamp, Format format, uint8_t channels,
                   std::span<const float> samples) {
    const size_t width = sampleBytes(format);
    if (width == 0 || channels == 0 || channels > kMaxChannels || samples.empty() ||
        samples.size() % channels != 0)
        return 0;
    const size_t frames = samples.size() / channels;
    if (frames > maxFrames(format, channels)) return 0;
    const size_t size = audioBytes(format, channels, frames);
    uint8_t* body = beginDatagram(out, size, Kind::audio, format, channels, stamp);
    if (body == nullptr) return 0;
    writeLe(body, frames, 2);
    writeLe(body + 2, 0, 2);
    uint8_t* at = body + kAudioPrefixBytes;
    const float scale = fullScale(format);
    for (const float sample : samples) {
        writeLe(at, static_cast<uint32_t>(quantise(sample, scale)), width);
        at += width;
    }
    return size;
}

size_t encodeProbe(std::span<uint8_t> out, const Stamp& stamp, const Probe& probe) {
    return encodeProbeKind(out, Kind::probe, stamp, probe);
}

size_t encodeProbeReply(std::span<uint8_t> out, const Stamp& stamp, const Probe& probe) {
    return encodeProbeKind(out, Kind::probeReply, stamp, probe);
}

size_t encodeDiscover(std::span<uint8_t> out, const Stamp& stamp) {
    constexpr size_t size = kHeaderBytes + kDiscoveryBodyBytes;
    uint8_t* body = beginDatagram(out, size, Kind::discover, Format::none, 0, stamp);
    if (body == nullptr) return 0;
    std::memset(body, 0, kDiscoveryBodyBytes);
    return size;
}

size_t encodeAnnounce(std::span<uint8_t> out, const Stamp& stamp, const Announce& announce) {
    constexpr size_t size = kHeaderBytes + kDiscoveryBodyBytes;
    uint8_t* body = beginDatagram(out, size, Kind::announce, Format::none, 0, stamp);
    if (body == nullptr) return 0;
    writeLe(body, announce.port, 2);
    writeLe(body + 2, announce.clients, 2);
    writeLe(body + 4, announce.capacity, 2);
    writeLe(body + 6, 0, 2);
    return size;
}

size_t encodeLeave(std::span<uint8_t> out, const Stamp& stamp) {
    return beginDatagram(out, kHeaderBytes, Kind::leave, Format::none, 0, stamp) ? kHeaderBytes : 0;
}

}  // namespace vornisel::wire
