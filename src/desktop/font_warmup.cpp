#include "desktop/font_warmup.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QStringList>
#include <system_error>

namespace vornisel {

FontWarmup::FontWarmup() {
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread to spare: Qt loads all of it itself when it first needs it.
    }
}

FontWarmup::~FontWarmup() {
    wait();
}

void FontWarmup::run() {
    // The configuration is process-wide: once loaded here, Qt's font database takes it as is.
    FcInit();
    std::unique_lock lock(mutex_);
    configured_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    if (!listFonts_) {
        return;
    }
    lock.unlock();
    // Qt's font database is guarded by its own lock, so the main thread may ask for fonts
    // meanwhile; it then waits for this list instead of building it itself.
    QFontDatabase::families();
}

void FontWarmup::applicationReady() {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable() || released_) {
        return;
    }
    changed_.wait(lock, [this] { return configured_; });
    released_ = true;
    listFonts_ = true;
    changed_.notify_all();
}

void FontWarmup::wait() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        released_ = true;  // with no application, the thread stops after the configuration
    }
    changed_.notify_all();
    thread_.join();
}

}  // namespace vornisel
