// Adding, editing and removing devices, the device cards, the header buttons' states and the
// notice bar through which every flow reports.
#include <QAccessible>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <utility>

#include "app/client_app.h"
#include "engine/dispatch.h"
#include "engine/engine_controller.h"
#include "l10n/error_text.h"
#include "l10n/localizer.h"
#include "ui/card/card_list_keys.h"
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
    // A warning differs from information by its sign and its role, not by colour alone.
    noticeIcon->setText(warning ? QStringLiteral("\u26A0") : QStringLiteral("\u2139"));
    noticeIcon->setAccessibleName(qtext(tr(warning ? "main.warning" : "main.information")));
    notice->setAccessibleRole(warning ? QAccessible::AlertMessage : QAccessible::StatusBar);
    notice->describe(qtext(text), QString());
    notice->setFill(Theme::color(warning ? warningFill : informationFill));
    notice->setStroke(warning ? Theme::warning() : Theme::accent());
    notice->show();
    notice->update();
    layout();
    // Spoken by screen readers whatever has the focus.
    QAccessibleEvent alert(notice, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void ClientApp::showError(const std::exception& error) {
    showNotice(errorText(error), true);
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
    if (offered.empty() && listing_ && hardware.empty()) {
        // The first listing has not answered yet; it opens the dialog when it does.
        addWaiting_ = !id;
        return;
    }
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
    } else if (std::exchange(addWaiting_, false)) {
        showDevice(std::nullopt);
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
    // The keyboard's place and the meter strips' scroll positions outlive the cards.
    const auto place = cardKeys_->focused();
    std::map<uint32_t, int> meterScrolls;
    for (DeviceCard* card : cards) {
        meterScrolls[card->profile().id] = card->meterScroll()->horizontalScrollBar()->value();
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
        cardKeys_->adopt(*card);
        card->show();
    }
    placeCards(meterScrolls);
    cardKeys_->restore(place);
}

void ClientApp::placeCards(const std::map<uint32_t, int>& meterScrolls) {
    layout();
    for (DeviceCard* card : cards) {
        const auto scrolled = meterScrolls.find(card->profile().id);
        if (scrolled != meterScrolls.end()) {
            card->meterScroll()->horizontalScrollBar()->setValue(scrolled->second);
        }
    }
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
    toggleAll->setTip(qtext(tr(running ? "main.stop_all" : "main.start_all")));
    toggleAll->setEnabled(!busy && !store->clients().empty());
    toggleAll->update();
    presets->setEnabled(!busy);
    savePreset->setEnabled(!busy);
    add->setEnabled(store->clients().size() < maxClients && !busy);
    // A toggle that is disabled loses the focus; it goes back to the same card, not to the next
    // control that Tab would reach.
    const auto place = cardKeys_->focused();
    for (DeviceCard* card : cards) {
        card->setLocked(busy);
        card->refresh();
    }
    if (place && cardKeys_->focused() != place) {
        cardKeys_->restore(place);
    } else {
        cardKeys_->updateTabStop();
    }
    updateStatusMenu();
}

}  // namespace vornisel
