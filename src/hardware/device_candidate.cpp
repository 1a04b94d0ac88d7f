#include "hardware/device_candidate.h"

#include <algorithm>
#include <numeric>

namespace vornisel {

namespace {

// Negative stream counts would be a backend fault; they must not cancel out real channels.
int channelSum(const std::vector<int>& streams) {
    return std::accumulate(streams.begin(), streams.end(), 0,
                           [](int sum, int channels) { return sum + std::max(channels, 0); });
}

}  // namespace

bool isOwnDevice(const std::string& uid) {
    // ASCII only: std::tolower follows the locale, and a Turkish one leaves "I" as it is.
    std::string lower = uid;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower.find("vornisel") != std::string::npos;
}

std::optional<Device> serviceableDevice(const DeviceCandidate& candidate) {
    if (candidate.uid.empty() || isOwnDevice(candidate.uid)) return std::nullopt;
    const int inputs = channelSum(candidate.inputStreams);
    const int outputs = channelSum(candidate.outputStreams);
    if (inputs + outputs == 0) return std::nullopt;
    return Device{candidate.uid, candidate.name, inputs, outputs};
}

std::vector<Device> serviceableDevices(const std::optional<std::vector<DeviceCandidate>>& listed) {
    std::vector<Device> result;
    if (!listed) return result;
    for (const DeviceCandidate& candidate : *listed) {
        if (auto device = serviceableDevice(candidate)) result.push_back(std::move(*device));
    }
    return result;
}

}  // namespace vornisel
