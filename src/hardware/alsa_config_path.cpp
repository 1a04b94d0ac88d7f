#include "hardware/alsa_config_path.h"

#include <alsa/asoundlib.h>

#include <cstdlib>

namespace vornisel {

std::filesystem::path alsaTopConfig() {
    return std::filesystem::path(snd_config_topdir()) / "alsa.conf";
}

std::vector<std::filesystem::path> addedConfigFiles(const std::string& configPath) {
    std::vector<std::filesystem::path> files;
    size_t start = configPath.find(':');
    while (start != std::string::npos) {
        const size_t end = configPath.find(':', start + 1);
        const std::string file = configPath.substr(start + 1, end - start - 1);
        if (!file.empty()) files.emplace_back(file);
        start = end;
    }
    return files;
}

std::vector<std::filesystem::path> deliberateConfigFiles() {
    const char* configPath = std::getenv("ALSA_CONFIG_PATH");
    std::vector<std::filesystem::path> files = addedConfigFiles(configPath ? configPath : "");
    files.insert(files.begin(), kAdministratorConfig);
    return files;
}

}  // namespace vornisel
