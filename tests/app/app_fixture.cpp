#include "app_fixture.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLabel>
#include <cstdlib>

#include "base/app_bundle.h"
#include "engine/engine_controller.h"
#include "hardware/device.h"
#include "l10n/localizer.h"
#include "ui/theme/panel_view.h"

namespace vornisel::test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    return waitFor(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return condition();
        },
        timeout, std::chrono::milliseconds(5));
}

uint32_t deviceID(uint32_t k) {
    return 2000000000u + static_cast<uint32_t>(::getpid() % 100000) * 10 + k;
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void AppFixture::SetUp() {
    // The panel's engines simulate: no sound card or server needed, "running" within a second.
    ::setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    scopedHome_.emplace(alsaHome);
    AppBundle::setLocation(bundleDir());
}

void AppFixture::TearDown() {
    if (app) {
        stopEverything();
        // A listing reads HOME, which is restored below.
        waitUntil([&] { return !app->listingDevices(); });
        app.reset();
    }
    settle();
    scopedHome_.reset();
    Localizer::shared().load("en");
}

void AppFixture::prepareStore(const std::vector<Profile>& clients, double width, double height) {
    PanelStore store(dataDir);
    store.document.settings.width = width;
    store.document.settings.height = height;
    store.setClients(clients);
    store.save();
}

bool AppFixture::launch(bool waitForListing) {
    app = std::make_unique<ClientApp>(std::vector<std::string>{"--data-dir", dataDir.string()});
    app->setTerminateHandler([this] { ++terminations; });
    app->setAlertHandler([this](const QString& text) { alerts.push_back(text); });
    app->setTrayCheck([this] { return trayPresent; });
    const bool launched = app->applicationDidFinishLaunching();
    if (app->engines()) {
        // Hosts that ignore STOP are not part of these tests; keep a failing stop short.
        app->engines()->setStopTimings({1.0, 1.0, 1.0, 0.02});
    }
    if (waitForListing) {
        // The hardware is listed on a worker; the tests start from the listed devices.
        waitUntil([&] { return !app->listingDevices(); });
        settle();
    }
    return launched;
}

std::vector<Profile> AppFixture::demoClients(size_t count) const {
    const std::vector<Device> demo = devices();
    EXPECT_FALSE(demo.empty());
    std::vector<Profile> clients(count);
    for (uint32_t k = 0; k < count && !demo.empty(); ++k) {
        clients[k] = {.id = deviceID(k + 1),
                      .name = "D" + std::to_string(k + 1),
                      .device = demo[k % demo.size()].uid,
                      .driverOutputs = "0,1",
                      .outputMap = "0,1"};
    }
    return clients;
}

void AppFixture::stopEverything() {
    if (!app->engines()) {
        return;
    }
    // A stop already under way makes a group stop fail; it is asked again once that one ends.
    waitUntil(
        [&] {
            const bool running =
                std::any_of(app->runtimes().begin(), app->runtimes().end(),
                            [](const auto& entry) { return entry.second->isRunning(); });
            if (!app->groupBusy() && running) {
                app->stopGroup([](bool) {});
            }
            return !app->groupBusy() && !running;
        },
        std::chrono::seconds(20));
}

}  // namespace vornisel::test
