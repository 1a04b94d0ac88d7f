#pragma once

#include <gtest/gtest.h>

#include <QLabel>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/client_app.h"
#include "hardware/device.h"
#include "support/alsa_home.h"
#include "ui/theme/panel_view.h"

namespace vornisel::test {

// Runs the Qt event loop until `condition` holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Lets queued calls and zero-length timers run.
void settle();
// Device identifiers of this test process only: engine sockets and statistics are named after
// them.
uint32_t deviceID(uint32_t k);

// A ClientApp on a fresh data directory, with a home directory whose ALSA configuration holds
// the repository's demo devices, the built bundle's language files and the real stand-in engine
// host. Quitting is recorded instead of ending the test program, and so is the store alert.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes panel.json (not a first run) with the given devices and window size, before launch.
    void prepareStore(const std::vector<Profile>& clients, double width = 1040,
                      double height = 720);
    // Creates and launches the controller; returns what launch returned. Then waits for the
    // first hardware listing, which starts after the window's first frame, unless told not to.
    bool launch(bool waitForListing = true);

    // `count` devices with the identifiers deviceID(1), deviceID(2)… and the names "D1", "D2"…,
    // on the demo devices in turn: each on its own while there are enough.
    std::vector<Profile> demoClients(size_t count) const;

    // Stops every running engine and waits for it, so that no test leaves a host behind.
    void stopEverything();

    std::string noticeShown() const { return app->noticeText->text().toStdString(); }
    bool noticeVisible() const { return !app->notice->isHidden(); }

    AlsaHome alsaHome{demoAlsaConfig()};
    const std::filesystem::path home = alsaHome.home();
    std::filesystem::path dataDir = home / "data";
    std::unique_ptr<ClientApp> app;
    bool trayPresent = true;  // what the tray check answers at launch
    int terminations = 0;
    std::vector<QString> alerts;

private:
    std::optional<ScopedAlsaHome> scopedHome_;
};

}  // namespace vornisel::test
