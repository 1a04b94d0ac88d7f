#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace vornisel::server {

// The most recent audio of one client, as interleaved floats. Readers keep their own position in
// frames written since the stream began, so one stream feeds every other client's mix.
class StreamRing {
public:
    // Four times the longest datagram of one channel, the most a reader ever keeps in hand.
    static constexpr size_t kFrames = 4096;

    StreamRing();

    void reset(uint8_t channels);
    uint8_t channels() const { return channels_; }
    uint64_t written() const { return written_; }
    // Appends whole frames of this stream's channel count.
    void write(std::span<const float> samples);
    // Adds `frames` frames from position `from` into `out`, which has `outChannels` channels:
    // output channel c takes this stream's channel c mod its channel count.
    void mixInto(uint64_t from, size_t frames, std::span<float> out, uint8_t outChannels) const;

private:
    // Sized once for the widest stream; pages that no stream reaches are never touched.
    std::unique_ptr<float[]> samples_;
    uint8_t channels_ = 0;
    uint64_t written_ = 0;
};

}  // namespace vornisel::server
