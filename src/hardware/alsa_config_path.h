#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vornisel {

// ALSA's top configuration file: alsa.conf in ALSA's configuration folder. ALSA reads the files
// that ALSA_CONFIG_PATH names instead of it, so naming it and then another file adds the other's
// definitions for one process and its children only, leaving every other file where it is (the
// demo devices of scripts/run and of the UI checks).
std::filesystem::path alsaTopConfig();

// The administrator's own ALSA configuration file. The distribution's plugin files live beside
// it, in kSystemConfigFolder.
inline constexpr const char* kAdministratorConfig = "/etc/asound.conf";
inline constexpr const char* kSystemConfigFolder = "/etc/alsa/conf.d";

// The files that an ALSA_CONFIG_PATH value (`configPath`, a colon-separated list) adds after its
// first, which stands in for the top configuration: files that someone named on purpose.
std::vector<std::filesystem::path> addedConfigFiles(const std::string& configPath);

// The files whose hinted PCMs are offered as they are, whatever their type: the administrator's
// file and the files that this process's ALSA_CONFIG_PATH adds.
std::vector<std::filesystem::path> deliberateConfigFiles();

}  // namespace vornisel
