#pragma once

#include <filesystem>

namespace vornisel {

// ALSA's top configuration file: alsa.conf in ALSA's configuration folder.
std::filesystem::path alsaTopConfig();

}  // namespace vornisel
