// Presets, the settings dialog and launch at login.
#include <QLineEdit>
#include <QPointer>
#include <utility>

#include "app/client_app.h"
#include "app/command_line.h"
#include "app/preset_names.h"
#include "app/random_uuid.h"
#include "l10n/error_text.h"
#include "l10n/localizer.h"
#include "ui/dialogs/preset_dialog.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/theme/menu_button.h"

namespace vornisel {

namespace {

void restorePresetSelection(ClientApp& app) {
    app.presets->setSelected(static_cast<int>(app.store->activeIndex()));
    app.showNotice(tr("notice.stop_before_preset"), true);
}

void finishPresetSwitch(ClientApp& app, int index, bool stopped) {
    const std::vector<Preset>& presets = app.store->document.presets;
    if (!stopped || static_cast<size_t>(index) >= presets.size()) {
        restorePresetSelection(app);
        return;
    }
    const std::string name = presets[index].name;
    app.store->document.active = presets[index].id;
    if (!app.saveStore()) return;
    // Runtimes belong to the devices of the preset that was active; the new preset's devices
    // start with fresh ones.
    app.runtimes().clear();
    app.localize();
    app.rebuildCards();
    app.showNotice(tr("notice.preset_selected", name), false);
}

// Applies confirmed settings; throws at the first failure, leaving what was done in memory.
void applySettings(ClientApp& app, const PanelSettings& settings) {
    PanelStore& store = *app.store;
    if (settings.login != store.document.settings.login) app.configureLogin(settings.login);
    store.document.settings = settings;
    for (Profile& client : store.clients()) {
        client.server = settings.discovery ? "auto" : settings.server;
        client.port = std::to_string(settings.port);
        store.writeConfig(client);
    }
    store.save();
}

}  // namespace

void ClientApp::selectPreset(int index) {
    if (!store || index < 0 || static_cast<size_t>(index) >= store->document.presets.size() ||
        static_cast<size_t>(index) == store->activeIndex()) {
        return;
    }
    if (groupBusy()) {
        restorePresetSelection(*this);
        return;
    }
    QPointer<ClientApp> self(this);
    stopGroup([self, index](bool stopped) {
        if (self) finishPresetSwitch(*self, index, stopped);
    });
}

void ClientApp::showSavePreset() {
    if (!store || activeDialog || groupBusy()) return;
    const Preset& active = store->document.presets[store->activeIndex()];
    auto dialog = std::make_shared<PresetDialog>(QString::fromStdString(active.name));
    PresetDialog* shown = dialog.get();
    QPointer<ClientApp> self(this);
    presentDialog(dialog, [self, shown](bool accepted) {
        if (self && accepted) self->saveAsPreset(shown->name->text().trimmed().toStdString());
    });
}

void ClientApp::saveAsPreset(const std::string& name) {
    if (!store || groupBusy()) return;
    std::vector<Preset>& presets = store->document.presets;
    std::vector<Profile> current = store->clients();
    if (const std::optional<size_t> found = findPreset(presets, name)) {
        presets[*found].clients = std::move(current);
        store->document.active = presets[*found].id;
    } else {
        presets.push_back(Preset{randomUuid(), name, std::move(current)});
        store->document.active = presets.back().id;
    }
    if (!saveStore()) return;
    localize();
    rebuildCards();
    showNotice(vornisel::tr("notice.preset_saved", name), false);
}

void ClientApp::showSettings() {
    if (!store || activeDialog) return;
    auto dialog = std::make_shared<SettingsDialog>(store->document.settings);
    SettingsDialog* shown = dialog.get();
    QPointer<ClientApp> self(this);
    presentDialog(dialog, [self, shown](bool accepted) {
        if (!self || !accepted) return;
        const PanelSettings settings = shown->settings();
        try {
            applySettings(*self, settings);
        } catch (const std::exception& error) {
            self->showNotice(errorText(error), true);
            return;
        }
        // Every text changes language at once: window, both menus and the cards.
        Localizer::shared().load(settings.language);
        self->localize();
        self->buildMenus();
        self->rebuildCards();
        if (!self->showLanguageRefusal()) {
            self->showNotice(vornisel::tr("notice.settings_saved"), false);
        }
    });
}

void ClientApp::configureLogin(bool enabled) {
    loginItem().configure(enabled);
}

LoginItem ClientApp::loginItem() const {
    // The default directory, however it was named, keeps the login item of a panel started
    // without arguments.
    std::error_code error;
    const bool isDefault = std::filesystem::equivalent(
        store->directory(), defaultDataDirectory(homeDirectory()), error);
    return LoginItem::forCurrentUser(isDefault ? std::nullopt : std::optional(store->directory()));
}

}  // namespace vornisel
