#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "hardware/device_candidate.h"

namespace vornisel {

// A PCM that the user's ALSA configuration defines with a visible hint.
struct ConfiguredPcm {
    std::string name;         // the PCM's name, which opens it
    std::string description;  // the hint's description, "" when it has none
};

// The user's own ALSA configuration files, in the order ALSA loads them: ~/.asoundrc and
// asoundrc under $XDG_CONFIG_HOME/alsa (default ~/.config/alsa). System-wide files hold the
// distribution's plugins and the card definitions, which are listed otherwise, so they are left
// out. `home` and `xdgConfigHome` may be empty.
std::vector<std::filesystem::path> userConfigFiles(const std::string& home,
                                                   const std::string& xdgConfigHome);

// The PCMs that `files` define with a hint that is not switched off ("hint { show on ...}" or
// a hint without "show"), in definition order. Unreadable or malformed files contribute nothing.
// ALSA's own diagnostics must already be silenced.
std::vector<ConfiguredPcm> visiblePcms(const std::vector<std::filesystem::path>& files);

// userConfigFiles() of the current user ($HOME, else the password database, and
// $XDG_CONFIG_HOME).
std::vector<std::filesystem::path> currentUserConfigFiles();

// Configured PCMs with the channels each direction offers, all probed together within
// kConfiguredPcmProbeBound; the UID is the PCM's name and the display name the first line of its
// description (or the name). ALSA's own diagnostics must already be silenced.
std::vector<DeviceCandidate> configuredCandidates(const std::vector<ConfiguredPcm>& pcms);

// The visible PCMs of the current user's configuration, less the product's own.
std::vector<ConfiguredPcm> userPcms();

}  // namespace vornisel
