#include "check/preview_renderer.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <fstream>
#include <iostream>

#include "app/client_app.h"
#include "app/main_window.h"
#include "check/ui_input.h"
#include "check/ui_script.h"
#include "engine/host_contract.h"
#include "hardware/pcm_probe.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/card/main_content.h"
#include "ui/card/meter_bridge.h"
#include "ui/dialogs/device_dialog.h"
#include "ui/dialogs/preset_dialog.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

using namespace std::chrono_literals;

constexpr auto engineDeadline = 30s;
constexpr auto dialogDeadline = 5s;
// A listing waits for the configured PCMs' probes at most.
constexpr auto listingDeadline = kConfiguredPcmProbeBound + dialogDeadline;
constexpr auto wholeRunLimit = std::chrono::minutes(3);

}  // namespace

PreviewRenderer::PreviewRenderer(ClientApp& app)
    : QObject(&app), app_(app), script_(new UiScript(this)) {
    script_->setFailureHandler([this](const std::string& step, const std::string& what) {
        problems_.push_back("step '" + step + "' threw: " + what);
    });
    // Stopped, running with live levels and a latency below the engine's safe floor (so that its
    // expanded card has a recommendation), and failed.
    devices_.push_back({"Demo Stereo Interface", {{0, 0}, {1, 1}}, {{0, 0}, {1, 1}}});
    devices_.push_back({"Demo Studio Interface",
                        {{0, 2}, {1, 3}},
                        {{0, 2}, {1, 3}, {2, 4}, {3, 5}},
                        "1",
                        "Custom"});
    devices_.push_back({"Demo Speakers", {}, {{0, 6}, {1, 7}}});
}

PreviewRenderer::~PreviewRenderer() {
    if (!blocker_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(blocker_, ignored);
    }
}

const std::vector<std::string>& PreviewRenderer::names() {
    static const std::vector<std::string> list = {
        "main-empty.png",          "main-devices.png",         "main-notice.png",
        "main-expanded.png",       "dialog-device-inputs.png", "dialog-device-outputs.png",
        "dialog-device-error.png", "dialog-settings.png",      "dialog-settings-manual.png",
        "dialog-preset.png"};
    return list;
}

QImage PreviewRenderer::render(QWidget& content) {
    const qreal ratio = content.devicePixelRatioF();
    QImage image(content.size() * ratio, QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Theme::background());
    content.render(&image, QPoint(), QRegion(),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

void PreviewRenderer::start() {
    folder_ = app_.store->directory() / "previews";
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) problems_.push_back("cannot create " + folder_.string() + ": " + error.message());
    waitFor(
        "the window showing", [this] { return app_.window && app_.window->isVisible(); },
        dialogDeadline);
    waitFor(
        "the hardware list", [this] { return !app_.listingDevices(); }, listingDeadline);
    captureMain("main-empty.png");
    mainStates();
    deviceDialogStates();
    otherDialogStates();
    QTimer::singleShot(wholeRunLimit, this, [this] {
        problems_.push_back("the previews were not done within 3 minutes, at step '" +
                            script_->current() + "'");
        script_->abandon();
        if (app_.activeDialog) app_.activeDialog->finish(false);
        finish();
    });
    script_->start([this] { finish(); });
}

void PreviewRenderer::mainStates() {
    script_->act("add three devices", [this] { addDevices(); });
    script_->act("start two engines", [this] { startEngines(); });
    waitFor(
        "one engine running with levels and one failed", [this] { return enginesSettled(); },
        engineDeadline);
    script_->act("remove the socket blocker", [this] {
        std::error_code ignored;
        std::filesystem::remove(blocker_, ignored);
        blocker_.clear();
    });
    closeNotice();
    captureMain("main-devices.png");
    // A real notice: saving the stopped device's dialog unchanged reports the saved settings.
    click("the stopped card's edit button", [this] { return cardButton(0, &DeviceCard::edit); });
    waitFor(
        "the device dialog", [this] { return app_.shownDialog() != nullptr; }, dialogDeadline);
    captureDialog("dialog-device-inputs.png");
    click("the outputs tab", [this]() -> QWidget* {
        auto* dialog = dynamic_cast<DeviceDialog*>(app_.shownDialog());
        return dialog ? dialog->outputTab : nullptr;
    });
    captureDialog("dialog-device-outputs.png");
    click("Save",
          [this]() -> QWidget* { return app_.shownDialog() ? app_.shownDialog()->save : nullptr; });
    waitFor(
        "the notice", [this] { return !app_.activeDialog && !app_.notice->isHidden(); },
        dialogDeadline);
    captureMain("main-notice.png");
    click("the running card's diagnostics button",
          [this] { return cardButton(1, &DeviceCard::info); });
    waitFor(
        "five seconds of statistics and a recommendation",
        [this] {
            const auto rt = app_.runtime(devices_[1].id);
            return rt->expanded && rt->samples.size() >= 5 && rt->recommendation(1).has_value();
        },
        engineDeadline);
    closeNotice();
    captureMain("main-expanded.png");
}

void PreviewRenderer::deviceDialogStates() {
    // Both route lists cleared: Save names the missing route.
    click("the stopped card's edit button", [this] { return cardButton(0, &DeviceCard::edit); });
    waitFor(
        "the device dialog", [this] { return app_.shownDialog() != nullptr; }, dialogDeadline);
    for (const bool input : {true, false}) {
        click(input ? "the inputs tab" : "the outputs tab", [this, input]() -> QWidget* {
            auto* dialog = dynamic_cast<DeviceDialog*>(app_.shownDialog());
            return !dialog ? nullptr : input ? dialog->inputTab : dialog->outputTab;
        });
        click("Reset", [this]() -> QWidget* {
            auto* dialog = dynamic_cast<DeviceDialog*>(app_.shownDialog());
            return dialog ? dialog->reset : nullptr;
        });
    }
    click("Save",
          [this]() -> QWidget* { return app_.shownDialog() ? app_.shownDialog()->save : nullptr; });
    captureDialog("dialog-device-error.png");
    click("Cancel", [this]() -> QWidget* {
        return app_.shownDialog() ? app_.shownDialog()->cancel : nullptr;
    });
    waitFor(
        "the dialog closing", [this] { return !app_.activeDialog; }, dialogDeadline);
}

void PreviewRenderer::otherDialogStates() {
    click("the settings button", [this] { return static_cast<QWidget*>(app_.settings); });
    waitFor(
        "the settings dialog", [this] { return app_.shownDialog() != nullptr; }, dialogDeadline);
    captureDialog("dialog-settings.png");
    click("the discovery check box", [this]() -> QWidget* {
        auto* dialog = dynamic_cast<SettingsDialog*>(app_.shownDialog());
        return dialog ? dialog->discovery : nullptr;
    });
    script_->act("type a server", [this] {
        auto* dialog = dynamic_cast<SettingsDialog*>(app_.shownDialog());
        if (!dialog) return;
        if (auto failure = typeInto(dialog->server, QStringLiteral("192.168.1.50"))) {
            problems_.push_back(*failure);
        }
    });
    captureDialog("dialog-settings-manual.png");
    click("Cancel", [this]() -> QWidget* {
        return app_.shownDialog() ? app_.shownDialog()->cancel : nullptr;
    });
    waitFor(
        "the dialog closing", [this] { return !app_.activeDialog; }, dialogDeadline);

    click("the save-preset button", [this] { return static_cast<QWidget*>(app_.savePreset); });
    waitFor(
        "the preset dialog", [this] { return app_.shownDialog() != nullptr; }, dialogDeadline);
    captureDialog("dialog-preset.png");
    click("Cancel", [this]() -> QWidget* {
        return app_.shownDialog() ? app_.shownDialog()->cancel : nullptr;
    });
    waitFor(
        "the dialog closing", [this] { return !app_.activeDialog; }, dialogDeadline);
}

void PreviewRenderer::addDevices() {
    PanelStore& store = *app_.store;
    std::vector<Profile> clients = store.clients();
    for (Device& device : devices_) {
        const auto hardware =
            std::find_if(app_.hardware.begin(), app_.hardware.end(),
                         [&](const auto& d) { return d.name == device.hardware; });
        Profile profile;
        profile.id = store.nextID();
        profile.name = device.hardware;
        profile.device = hardware != app_.hardware.end() ? hardware->uid : device.hardware;
        profile.latency = device.latency;
        profile.latencyMode = device.mode;
        profile.setRoutes(true, device.inputs);
        profile.setRoutes(false, device.outputs);
        device.id = profile.id;
        clients.push_back(profile);
        // nextID looks at the stored devices, so each one is stored before the next is made.
        store.setClients(clients);
        if (hardware == app_.hardware.end()) {
            problems_.push_back("no hardware device '" + device.hardware +
                                "': give ALSA the demo devices of resources/alsa/demo.asoundrc");
        }
    }
    app_.saveStore();
    app_.rebuildCards();
}

void PreviewRenderer::startEngines() {
    // A regular file where the third engine's socket belongs makes that engine refuse to start,
    // as a stale file left by something else would: a real failure, reported by the panel.
    blocker_ = host::socketPath(devices_[2].id);
    std::ofstream(blocker_) << "not a socket\n";
    app_.start(devices_[1].id);
    app_.start(devices_[2].id);
}

bool PreviewRenderer::enginesSettled() const {
    const auto running = app_.runtime(devices_[1].id);
    const auto failed = app_.runtime(devices_[2].id);
    bool levels = false;
    if (DeviceCard* card = app_.card(devices_[1].id)) {
        for (const auto& column : card->meter()->picture().columns) {
            levels = levels || column.level > -40;
        }
    }
    return running->isRunning() && running->value("status") == 3 && levels &&
           !failed->isRunning() && failed->value("status") == 7;
}

void PreviewRenderer::closeNotice() {
    script_->act("close the notice", [this] {
        if (!app_.notice->isHidden()) {
            if (auto failure = vornisel::click(app_.closeNotice)) problems_.push_back(*failure);
        }
    });
}

void PreviewRenderer::waitForActiveWindow() {
    // Only the active window draws its keyboard focus, and a window manager may take a moment to
    // activate a new sheet or the window it left. Without a window manager none may ever be
    // active; the picture is taken anyway.
    script_->add({"wait: the active window",
                  {},
                  [this] {
                      PanelDialog* dialog = app_.shownDialog();
                      QWidget* shown =
                          dialog ? static_cast<QWidget*>(dialog->window()) : app_.window;
                      return shown && shown->isActiveWindow();
                  },
                  dialogDeadline,
                  {}});
}

void PreviewRenderer::captureMain(const std::string& name) {
    waitForActiveWindow();
    script_->act("render " + name, [this, name] {
        const QImage image = render(*app_.root);
        const auto file = folder_ / name;
        if (!image.save(QString::fromStdString(file.string()), "PNG")) {
            problems_.push_back("cannot write " + file.string());
            return;
        }
        written_.push_back(file);
    });
}

void PreviewRenderer::captureDialog(const std::string& name) {
    waitForActiveWindow();
    script_->act("render " + name, [this, name] {
        PanelDialog* dialog = app_.shownDialog();
        if (!dialog) {
            problems_.push_back(name + ": the dialog is not open");
            return;
        }
        // The whole window: on a low screen its fields scroll above the error line and buttons.
        const QImage image = render(*dialog->window());
        const auto file = folder_ / name;
        if (!image.save(QString::fromStdString(file.string()), "PNG")) {
            problems_.push_back("cannot write " + file.string());
            return;
        }
        written_.push_back(file);
    });
}

void PreviewRenderer::click(const std::string& what, std::function<QWidget*()> target) {
    script_->act("click " + what, [this, what, target] {
        if (auto failure = vornisel::click(target())) {
            problems_.push_back("could not click " + what + ": " + *failure);
        }
    });
}

void PreviewRenderer::waitFor(const std::string& what, std::function<bool()> until,
                              std::chrono::milliseconds timeout) {
    script_->add({"wait: " + what, {}, std::move(until), timeout, [this, what](bool met) {
                      if (!met) problems_.push_back(what + " did not happen in time");
                  }});
}

QWidget* PreviewRenderer::cardButton(size_t device,
                                     ActionButton* (DeviceCard::*button)() const) const {
    DeviceCard* card = app_.card(devices_[device].id);
    return card ? (card->*button)() : nullptr;
}

void PreviewRenderer::finish() {
    if (finished_) return;
    finished_ = true;
    for (const auto& file : written_)
        std::cout << file.string() << "\n";
    for (const auto& problem : problems_)
        std::cerr << "preview: " << problem << "\n";
    std::cout << std::flush;
    std::cerr << std::flush;
    const int status = problems_.empty() && written_.size() == names().size() ? 0 : 1;
    // Ends through the panel's own quit, which stops the running engine first.
    app_.setTerminateHandler([status] { QCoreApplication::exit(status); });
    app_.terminate();
}

}  // namespace vornisel
