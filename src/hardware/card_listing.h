#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hardware/alsa_channels.h"

namespace vornisel {

// What the kernel says about one card.
struct CardIdentity {
    std::string id;    // the driver's id, stable across reboots ("PCH", "U192k")
    std::string name;  // what a person reads ("HDA Intel PCH")
};

// One direction of a card's PCM device.
struct CardDirection {
    bool exists = false;
    std::string name;    // the PCM device's own name ("ALC892 Analog"), "" when it has none
    int subdevices = 0;  // how many programs may hold it open at once
};

// One PCM device of a card, both directions.
struct CardPcmDevice {
    int number = 0;
    CardDirection playback;
    CardDirection capture;
};

// One card as its control interface describes it.
struct CardListing {
    int number = 0;
    CardIdentity identity;
    std::vector<CardPcmDevice> devices;
};

// How the channels of a card's direction are found: opening it by its UID (soundCardUID), and,
// for one that another program holds, the kernel's hw_params status text of a substream
// ("closed" when nobody holds it).
struct CardProbes {
    std::function<ChannelProbe(const std::string& uid, bool input)> open;
    std::function<std::string(int card, int device, bool input, int subdevice)> substreamStatus;
};

}  // namespace vornisel
