#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vornisel {

// ALSA's top configuration file: alsa.conf in ALSA's configuration folder.
std::filesystem::path alsaTopConfig();

// The files that an ALSA_CONFIG_PATH value names besides `topConfig`. ALSA reads the files of
// that variable instead of its top file, so naming the top file and then another one adds the
// other's definitions for one process and its children only, leaving every other file where it
// is (the demo devices of scripts/run and of the UI checks). The list is split as ALSA splits it:
// at ':' and spaces, up to the first empty entry.
std::vector<std::filesystem::path> alsaConfigPathFiles(const std::string& value,
                                                       const std::filesystem::path& topConfig);

}  // namespace vornisel
