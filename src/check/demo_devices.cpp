// The built-in check's fallback to the bundle's demo devices.
#include <cstdlib>
#include <iostream>

#include "app/command_line.h"
#include "base/app_bundle.h"
#include "check/ui_check.h"
#include "hardware/alsa_config_path.h"
#include "hardware/device.h"

namespace vornisel {

void prepareBuiltInCheck(const std::vector<std::string>& arguments) {
    if (!parseCommandLine(arguments).testMode()) return;
    // The check looks at the panel, not at audio: its engines simulate, so that they run
    // without a server.
    setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    if (!devices().empty()) return;
    const auto demo = AppBundle::resources() / "alsa" / "demo.asoundrc";
    std::error_code error;
    if (!std::filesystem::is_regular_file(demo, error)) return;
    if (demo.string().find_first_of(": ") != std::string::npos) {
        std::cerr << "ALSA offers no usable device, and the demo devices cannot be offered: ALSA "
                     "would split their path "
                  << demo.string() << "\n";
        return;
    }
    // ALSA reads these files instead of its top configuration: that one first, as always.
    const char* current = std::getenv("ALSA_CONFIG_PATH");
    const std::string files =
        (current && *current ? std::string(current) : alsaTopConfig().string());
    setenv("ALSA_CONFIG_PATH", (files + ":" + demo.string()).c_str(), 1);
    std::cerr << "ALSA offers no usable device: the check uses the demo devices of "
              << demo.string() << "\n";
}

}  // namespace vornisel
