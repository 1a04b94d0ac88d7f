// Adding, editing and removing devices, the device cards, the header buttons' states and the
// notice bar through which every flow reports.
#include <QLabel>
#include <QPointer>
#include <algorithm>
#include <utility>

#include "app/client_app.h"
#include "engine/dispatch.h"
#include "engine/engine_controller.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/dialogs/device_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

constexpr size_t maxClients = 8;
constexpr uint32_t warningFill = 0x3A301D;
constexpr uint32_t informationFill = 0x263242;

}  // namespace

void ClientApp::showNotice(const std::string& text, bool warning) {
    noticeText->setText(qtext(text));
    noticeText->setToolTip(qtext(text));
    notice->setFill(Theme::color(warning ? warningFill : informationFill));
    notice->setStroke(warning ? Theme::warning() : Theme::accent());
    notice->show();
    notice->update();
    layout();
}

void ClientApp::showError(const std::exception& error) {
    showNotice(error.what(), true);
}

bool ClientApp::saveStore() {
    try {
        store->save();
        return true;
    } catch (const std::exception& error) {
        showError(error);
        return false;
    }
}

std::vector<Device> ClientApp::offeredDevices(const std::optional<Profile>& editing) const {
    std::vector<std::string> taken;
    for (const Profile& client : store->clients()) {
        if (!editing || client.id != editing->id) {
            taken.push_back(client.device);
        }
    }
    // The list the last refresh made: listing may wait for sound servers, which the main
    // thread must not, and the device watcher keeps it up to date.
    std::vector<Device> offered;
    for (const Device& device : hardware) {
        if (std::find(taken.begin(), taken.end(), device.uid) == taken.end()) {
            offered.push_back(device);
        }
    }
    if (editing) {
        const bool listed = std::any_of(offered.begin(), offered.end(),
                                        [&](const Device& d) { return d.uid == editing->device; });
        if (!listed) {
            // The device's own hardware stays selectable even when it is unplugged or another
            // device uses it too.
            offered.push_back(Device{editing->device, editing->name, 32, 32});
        }
    }
    return offered;
}

Profile ClientApp::newProfile() {
    const auto& settings = store->document.settings;
    Profile profile;
    profile.id = store->nextID();
    profile.server = settings.discovery ? std::string("auto") : settings.server;
    profile.port = std::to_string(settings.port);
    profile.latencyMode = "Stable";
    return profile;
}

void ClientApp::showDevice(std::optional<uint32_t> id) {
    if (!store || activeDialog || groupBusy()) {
        return;
    }
    if (id && runtime(*id)->isRunning()) {
        showNotice(tr("notice.stop_before_edit"), true);
        return;
    }
    if (!id && store->clients().size() >= maxClients) {
        showNotice(tr("notice.max_clients"), true);
        return;
    }
    std::optional<Profile> editing;
    if (id) {
        const auto& clients = store->clients();
        auto found = std::find_if(clients.begin(), clients.end(),
                                  [&](const Profile& p) { return p.id == *id; });
        if (found == clients.end()) {
            return;
        }
        editing = *found;
    }
    std::vector<Device> offered = offeredDevices(editing);
    if (offered.empty()) {
        showNotice(tr(hardware.empty() ? "notice.no_asio" : "notice.all_asio_added"), true);
        return;
    }
    Profile given;
    try {
        given = editing ? *editing : newProfile();
    } catch (const std::exception& error) {
        showError(error);
        return;
    }
    auto dialog = std::make_shared<DeviceDialog>(std::move(offered), given, editing.has_value());
    DeviceDialog* shown = dialog.get();
    const bool editFlow = editing.has_value();
    QPointer<ClientApp> self(this);
    presentDialog(dialog, [self, shown, given, editFlow](bool accepted) {
        if (self && accepted) {
            self->finishDeviceDialog(given, shown->profile(), editFlow);
        }
    });
}

void ClientApp::finishDeviceDialog(const Profile& given, const Profile& result, bool editing) {
    std::vector<Profile> clients = store->clients();
    auto found = std::find_if(clients.begin(), clients.end(),
                              [&](const Profile& p) { return p.id == given.id; });
    if (found != clients.end()) {
        *found = result;
    } else {
        clients.push_back(result);
    }
    store->setClients(std::move(clients));
    if (!saveStore()) {
        return;
    }
    rebuildCards();
    showNotice(tr(editing ? "notice.device_settings_saved" : "notice.device_added"), false);
}

void ClientApp::remove(uint32_t id) {
    if (!store || runtime(id)->isRunning() || groupBusy()) {
        return;
    }
    std::vector<Profile> clients = store->clients();
    std::erase_if(clients, [id](const Profile& p) { return p.id == id; });
    store->setClients(std::move(clients));
    if (!saveStore()) {
        return;
    }
    runtimes().erase(id);
    rebuildCards();
}

void ClientApp::refreshDevices() {
    if (std::exchange(listing_, true)) {
        relist_ = true;
        return;
    }
    listDevices();
}

void ClientApp::listDevices() {
    // The worker reads everything afresh from here on, so earlier requests are served by it.
    relist_ = false;
    QPointer<ClientApp> self(this);
    dispatch_->utility([self, dispatch = dispatch_] {
        std::vector<Device> listed = devices();
        dispatch->main([self, listed = std::move(listed)]() mutable {
            if (self) {
                self->devicesListed(std::move(listed));
            }
        });
    });
}

void ClientApp::devicesListed(std::vector<Device> listed) {
    listing_ = false;
    hardware = std::move(listed);
    rebuildCards();
    listed_ = true;
    for (auto& then : std::exchange(whenListed_, {})) {
        then();
    }
    if (std::exchange(relist_, false)) {
        refreshDevices();
    }
}

void ClientApp::whenDevicesListed(std::function<void()> then) {
    if (listed_) {
        then();
    } else {
        whenListed_.push_back(std::move(then));
    }
}

void ClientApp::rebuildCards() {
    for (DeviceCard* card : cards) {
        // Deleted later: the click that led here may still be running inside this very card.
        card->hide();
        card->deleteLater();
    }
    cards.clear();
    if (!store) {
        return;
    }
    for (const Profile& client : store->clients()) {
        auto* card = new DeviceCard(client, runtime(client.id), body);
        cards.push_back(card);
        connectCard(*card, client.id);
        card->show();
    }
    layout();
    updateControls();
}

void ClientApp::connectCard(DeviceCard& card, uint32_t id) {
    QPointer<ClientApp> self(this);
    auto on = [self, id](auto action) {
        return [self, id, action] {
            if (self) {
                action(*self, id);
            }
        };
    };
    card.toggle()->setHandler(on([](ClientApp& app, uint32_t device) { app.toggle(device); }));
    card.edit()->setHandler(on([](ClientApp& app, uint32_t device) { app.showDevice(device); }));
    card.remove()->setHandler(on([](ClientApp& app, uint32_t device) { app.remove(device); }));
    card.info()->setHandler(on([](ClientApp& app, uint32_t device) {
        auto rt = app.runtime(device);
        rt->expanded = !rt->expanded;
        app.layout();
    }));
    card.recommend()->setHandler(
        on([](ClientApp& app, uint32_t device) { app.applyRecommendation(device); }));
    card.exportButton()->setHandler(
        on([](ClientApp& app, uint32_t device) { app.exportBundle(device); }));
}

void ClientApp::updateControls() {
    if (!store) {
        return;
    }
    bool running = false;
    for (const auto& [id, rt] : runtimes()) {
        running = running || rt->isRunning();
    }
    const bool busy = groupBusy();
    toggleAll->setGlyph(running ? Glyph::stop : Glyph::play);
    const QString toggleText = qtext(tr(running ? "main.stop_all" : "main.start_all"));
    toggleAll->setToolTip(toggleText);
    toggleAll->setAccessibleName(toggleText);
    toggleAll->setEnabled(!busy && !store->clients().empty());
    toggleAll->update();
    presets->setEnabled(!busy);
    savePreset->setEnabled(!busy);
    add->setEnabled(store->clients().size() < maxClients && !busy);
    for (DeviceCard* card : cards) {
        card->refresh();
        if (busy) {
            card->toggle()->setEnabled(false);
        }
    }
    updateStatusMenu();
}

}  // namespace vornisel
