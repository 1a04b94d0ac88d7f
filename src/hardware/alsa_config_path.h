#pragma once

#include <filesystem>

namespace vornisel {

// ALSA's top configuration file: alsa.conf in ALSA's configuration folder. ALSA reads the files
// that ALSA_CONFIG_PATH names instead of it, so naming it and then another file adds the other's
// definitions for one process and its children only, leaving every other file where it is (the
// demo devices of scripts/run and of the UI checks).
std::filesystem::path alsaTopConfig();

}  // namespace vornisel
