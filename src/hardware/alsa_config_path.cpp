#include "hardware/alsa_config_path.h"

#include <alsa/asoundlib.h>

namespace vornisel {

std::filesystem::path alsaTopConfig() {
    return std::filesystem::path(snd_config_topdir()) / "alsa.conf";
}

}  // namespace vornisel
