#include "audio/routes.h"

#include <algorithm>

namespace vornisel::enginehost {

int Routes::width(const std::vector<int>& channels, int least) {
    int widest = least;
    for (int channel : channels)
        widest = std::max(widest, channel + 1);
    return widest;
}

void Routes::toDriver(std::span<const float> hardware, int hardwareChannels,
                      std::span<float> driver, int frames) const {
    const int driverChannels = streamChannels();
    std::fill(driver.begin(), driver.end(), 0.0f);
    const size_t pairs = std::min(inputMap.size(), driverInputs.size());
    for (size_t i = 0; i < pairs; ++i) {
        const int from = inputMap[i];
        const int to = driverInputs[i];
        if (from < 0 || to < 0 || from >= hardwareChannels) continue;
        for (int f = 0; f < frames; ++f)
            driver[static_cast<size_t>(f * driverChannels + to)] +=
                hardware[static_cast<size_t>(f * hardwareChannels + from)];
    }
}

void Routes::toHardware(std::span<const float> driver, std::span<float> hardware,
                        int hardwareChannels, int frames) const {
    const int driverChannels = driverOutputChannels();
    std::fill(hardware.begin(), hardware.end(), 0.0f);
    const size_t pairs = std::min(outputMap.size(), driverOutputs.size());
    for (size_t i = 0; i < pairs; ++i) {
        const int to = outputMap[i];
        const int from = driverOutputs[i];
        if (from < 0 || to < 0 || to >= hardwareChannels) continue;
        for (int f = 0; f < frames; ++f)
            hardware[static_cast<size_t>(f * hardwareChannels + to)] +=
                driver[static_cast<size_t>(f * driverChannels + from)];
    }
}

}  // namespace vornisel::enginehost
