#pragma once

#include <algorithm>
#include <span>
#include <vector>

namespace vornisel::enginehost {

// The device's routes, pair by pair: hardware output outputMap[i] plays driver output
// driverOutputs[i]; hardware input inputMap[i] feeds driver input driverInputs[i]. Pairs with a
// negative channel are left out.
struct Routes {
    std::vector<int> outputMap, driverOutputs, inputMap, driverInputs;

    // Channels the device must open, and the driver channels each stream carries (at least one,
    // so a device without inputs still sends its silence and stays known to the server).
    int hardwareOutputs() const { return width(outputMap, 0); }
    int hardwareInputs() const { return width(inputMap, 0); }
    int driverOutputChannels() const { return width(driverOutputs, 1); }
    int driverInputChannels() const { return width(driverInputs, 1); }
    // The stream sent to the server: the driver inputs, widened to the driver outputs, because
    // the server mixes back as many channels as it is sent.
    int streamChannels() const { return std::max(driverInputChannels(), driverOutputChannels()); }

    // Hardware frames to stream frames (sums where two inputs feed one driver channel), and
    // driver frames to hardware frames; both interleaved, `frames` long.
    void toDriver(std::span<const float> hardware, int hardwareChannels, std::span<float> driver,
                  int frames) const;
    void toHardware(std::span<const float> driver, std::span<float> hardware, int hardwareChannels,
                    int frames) const;

private:
    static int width(const std::vector<int>& channels, int least);
};

}  // namespace vornisel::enginehost
