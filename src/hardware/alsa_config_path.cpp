#include "hardware/alsa_config_path.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace vornisel {

std::filesystem::path alsaTopConfig() {
    return std::filesystem::path(snd_config_topdir()) / "alsa.conf";
}

std::vector<std::filesystem::path> alsaConfigPathFiles(const std::string& value,
                                                       const std::filesystem::path& topConfig) {
    std::vector<std::filesystem::path> files;
    size_t start = 0;
    while (start < value.size()) {
        const size_t end = std::min(value.find_first_of(": ", start), value.size());
        if (end == start) break;
        std::filesystem::path file = value.substr(start, end - start);
        if (file.lexically_normal() != topConfig.lexically_normal()) files.push_back(file);
        start = end + 1;
    }
    return files;
}

}  // namespace vornisel
