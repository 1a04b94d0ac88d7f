#pragma once

#include <thread>

namespace vornisel {

// Loads the system's font configuration on a second thread while the application connects to
// the display, so the first text laid out finds it ready instead of reading every configuration
// file on the way to the first frame. `wait()` must come before the first font is resolved;
// the destructor waits too.
class FontWarmup {
public:
    FontWarmup();
    ~FontWarmup();
    FontWarmup(const FontWarmup&) = delete;
    FontWarmup& operator=(const FontWarmup&) = delete;

    void wait();

private:
    std::thread thread_;
};

}  // namespace vornisel
