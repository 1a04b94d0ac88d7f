#include "audio/routes.h"

#include <algorithm>

namespace vornisel::enginehost {

namespace {

// Sums source channel from[i] into destination channel to[i], frame by frame, over interleaved
// buffers `frames` long; pairs with a channel outside either side are left out.
void mix(std::span<const float> source, int sourceChannels, const std::vector<int>& from,
         std::span<float> destination, int destinationChannels, const std::vector<int>& to,
         int frames) {
    std::fill(destination.begin(), destination.end(), 0.0f);
    const size_t pairs = std::min(from.size(), to.size());
    for (size_t i = 0; i < pairs; ++i) {
        const int in = from[i];
        const int out = to[i];
        if (in < 0 || out < 0 || in >= sourceChannels || out >= destinationChannels) continue;
        for (int f = 0; f < frames; ++f)
            destination[static_cast<size_t>(f * destinationChannels + out)] +=
                source[static_cast<size_t>(f * sourceChannels + in)];
    }
}

}  // namespace

int Routes::width(const std::vector<int>& channels, int least) {
    int widest = least;
    for (int channel : channels)
        widest = std::max(widest, channel + 1);
    return widest;
}

void Routes::toDriver(std::span<const float> hardware, int hardwareChannels,
                      std::span<float> driver, int frames) const {
    mix(hardware, hardwareChannels, inputMap, driver, streamChannels(), driverInputs, frames);
}

void Routes::toHardware(std::span<const float> driver, std::span<float> hardware,
                        int hardwareChannels, int frames) const {
    mix(driver, driverOutputChannels(), driverOutputs, hardware, hardwareChannels, outputMap,
        frames);
}

}  // namespace vornisel::enginehost
