#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace vornisel {

// Prepares fonts on a second thread while the main thread starts up: first the system's font
// configuration, while the application connects to the display; then, once the application
// exists, Qt's list of the fonts installed, while the main thread builds its views. The first text
// laid out then finds both ready.
//
// Order of use: construct before the application; call `applicationReady()` right after it is
// constructed and before any font is resolved; call `wait()` before the application is destroyed.
class FontWarmup {
public:
    FontWarmup();
    ~FontWarmup();
    FontWarmup(const FontWarmup&) = delete;
    FontWarmup& operator=(const FontWarmup&) = delete;

    // Returns once the configuration is loaded, and lets the thread go on to Qt's font list.
    void applicationReady();
    // Returns once the thread is done (at once if there is none).
    void wait();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    bool configured_ = false;  // the font configuration is loaded
    bool released_ = false;    // the thread may go on (or give up, when no application came)
    bool listFonts_ = false;
    std::thread thread_;
};

}  // namespace vornisel
