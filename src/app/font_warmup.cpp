#include "app/font_warmup.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace vornisel {

FontWarmup::FontWarmup() {
    try {
        // The configuration is process-wide: once loaded here, Qt's font database takes it as is.
        thread_ = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread to spare: Qt loads the configuration itself when it first needs it.
    }
}

FontWarmup::~FontWarmup() {
    wait();
}

void FontWarmup::wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace vornisel
