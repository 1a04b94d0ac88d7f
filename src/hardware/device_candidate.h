#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hardware/device.h"

namespace vornisel {

// What a backend reports for one device before the rules decide whether it can serve: its
// identifiers and the channel count of each of its streams per direction.
struct DeviceCandidate {
    std::string uid;
    std::string name;
    std::vector<int> inputStreams;
    std::vector<int> outputStreams;
};

// True for the product's own virtual devices, which are never offered as hardware: the UID
// contains "vornisel" in any capitalisation.
bool isOwnDevice(const std::string& uid);

// The candidate as a Device, or nothing when it cannot serve: an empty UID, one of the
// product's own devices, or no channel in either direction.
std::optional<Device> serviceableDevice(const DeviceCandidate& candidate);

// The serviceable candidates in the backend's order; a backend that failed to enumerate
// (nullopt) gives the empty list.
std::vector<Device> serviceableDevices(const std::optional<std::vector<DeviceCandidate>>& listed);

}  // namespace vornisel
