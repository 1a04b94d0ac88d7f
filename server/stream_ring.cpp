#include "stream_ring.h"

#include "network/wire.h"

namespace vornisel::server {

StreamRing::StreamRing() : samples_(new float[kFrames * wire::kMaxChannels]) {}

void StreamRing::reset(uint8_t channels) {
    channels_ = channels;
    written_ = 0;
}

void StreamRing::write(std::span<const float> samples) {
    if (channels_ == 0) return;
    const size_t frames = samples.size() / channels_;
    for (size_t f = 0; f < frames; ++f) {
        float* slot = &samples_[((written_ + f) % kFrames) * channels_];
        for (size_t c = 0; c < channels_; ++c)
            slot[c] = samples[f * channels_ + c];
    }
    written_ += frames;
}

void StreamRing::mixInto(uint64_t from, size_t frames, std::span<float> out,
                         uint8_t outChannels) const {
    if (channels_ == 0) return;
    for (size_t f = 0; f < frames; ++f) {
        const float* slot = &samples_[((from + f) % kFrames) * channels_];
        for (size_t c = 0; c < outChannels; ++c)
            out[f * outChannels + c] += slot[c % channels_];
    }
}

}  // namespace vornisel::server
