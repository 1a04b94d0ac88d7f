#pragma once

#include <string>
#include <vector>

namespace vornisel {

// One audio device that an engine can play through. `uid` is the stable ALSA name that a
// profile's `device` field stores; `name` is what a person reads ("" when ALSA gives none).
struct Device {
    std::string uid;
    std::string name;
    int inputs = 0;
    int outputs = 0;

    bool operator==(const Device&) const = default;
};

// The devices that can serve, in ALSA's order: every PCM device of every sound card, then the
// PCMs of the user's own ALSA configuration that carry a visible hint, then the other PCMs that
// the ALSA configuration describes with a hint and that are devices (the desktop's sound server
// and "default"; systemPcms()), each name once.
// Queries ALSA afresh on every call, its configuration files included, and never fails: when
// the sound cards cannot be enumerated the list is empty. Never prints ALSA's diagnostics.
// Probing the configured PCMs (in helper processes, pcm_probe.h) may take up to
// kConfiguredPcmProbeBound, so the listing blocks: never call it on a thread that must stay
// responsive. Calls from several threads take turns.
std::vector<Device> devices();

// The listing as a pretty-printed JSON array of objects with exactly the keys "uid", "name",
// "inputs" and "outputs", followed by one line feed.
std::string deviceListJSON(const std::vector<Device>& list);

}  // namespace vornisel
