// The built-in UI check's other flows: the support bundle, presets, settings, launch at login
// and quitting with engines running.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <set>

#include "app/client_app.h"
#include "app/main_window.h"
#include "app/status_menu.h"
#include "check/smoke_files.h"
#include "check/ui_input.h"
#include "check/ui_script.h"
#include "check/ui_smoke.h"
#include "desktop/login_item.h"
#include "engine/host_contract.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/card/main_content.h"
#include "ui/dialogs/preset_dialog.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

using namespace std::chrono_literals;

constexpr auto engineDeadline = 30s;
constexpr auto dialogDeadline = 5s;
const std::string presetName = "Smoke Check";
const std::string manualServer = "192.168.10.20";
const std::string manualPort = "28020";

std::vector<std::filesystem::path> archives(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".zip") found.push_back(entry.path());
    }
    return found;
}

bool inside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

int presetIndex(const PanelDocument& document, const std::string& name) {
    for (size_t i = 0; i < document.presets.size(); ++i) {
        if (document.presets[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

void UiSmoke::checkSupportBundle() {
    begin("support bundle");
    needDevices();
    clickCardButton("the first card's export button", 0, &DeviceCard::exportButton);
    waitFor(
        "the archive and its notice",
        [this] {
            for (const auto& zip : archives(app_.store->directory() / "support-bundles")) {
                if (noticeIs(vornisel::tr("notice.support_bundle_saved", zip.string()))) {
                    archive_ = zip;
                    return true;
                }
            }
            return false;
        },
        20s);
    act("read the archive", [this](Findings& f) {
        const auto entries = zipEntries(archive_);
        if (!f.expect(entries.has_value(), archive_.string() + " is no zip archive")) return;
        const std::string top = archive_.stem().string();
        const std::set<std::string> names(entries->begin(), entries->end());
        for (const char* file :
             {"client.ini", "panel.json", "snapshot.json", "telemetry.csv", "summary.txt"}) {
            f.expect(names.count(top + "/" + file) == 1, "the archive lacks " + top + "/" + file);
        }
        f.expect(
            std::all_of(entries->begin(), entries->end(),
                        [&](const std::string& name) { return name.rfind(top + "/", 0) == 0; }),
            "the archive has entries outside its folder " + top);
        const auto folder = archive_.parent_path() / top;
        const uint32_t id = planned_[0].id;
        const auto snapshot = jsonFile(folder / "snapshot.json");
        f.expect(snapshot && snapshot->value("clientId", int64_t(0)) == int64_t(id),
                 "snapshot.json is not the engine's state of device " + std::to_string(id));
        const auto csv = textLines(fileText(folder / "telemetry.csv").value_or(""));
        f.expect(csv.size() >= 2 && csv[0].rfind("time,", 0) == 0,
                 "telemetry.csv holds no samples");
        const auto summary = textLines(fileText(folder / "summary.txt").value_or(""));
        f.expect(summary.size() == 6 && summary[1] == planned_[0].name &&
                     summary[2] == "ID " + std::to_string(id),
                 "summary.txt does not describe the device");
        f.expect(fileText(folder / "client.ini") ==
                     fileText(app_.store->configURL(
                         *std::find_if(app_.store->clients().begin(), app_.store->clients().end(),
                                       [id](const Profile& p) { return p.id == id; }))),
                 "client.ini differs from the device's configuration");
    });
    end([this] {
        return archive_.filename().string() + " with " +
               std::to_string(zipEntries(archive_).value_or(std::vector<std::string>{}).size()) +
               " entries";
    });
}

void UiSmoke::checkSavePreset() {
    begin("save preset");
    needDevices();
    click("the save-preset button", [this] { return static_cast<QWidget*>(app_.savePreset); });
    waitFor(
        "the preset dialog opening",
        [this] { return dynamic_cast<PresetDialog*>(app_.shownDialog()) != nullptr; },
        dialogDeadline);
    act("type the name", [this](Findings& f) {
        auto* dialog = dynamic_cast<PresetDialog*>(app_.shownDialog());
        if (auto failure = typeInto(dialog->name, qtext(presetName))) f.add(*failure);
    });
    click("Save in the preset dialog", [this]() -> QWidget* {
        auto* dialog = dynamic_cast<PresetDialog*>(app_.shownDialog());
        return dialog ? dialog->save : nullptr;
    });
    waitFor(
        "the preset dialog closing", [this] { return !app_.activeDialog; }, dialogDeadline);
    act("verify the preset", [this](Findings& f) {
        const PanelDocument& document = app_.store->document;
        const int index = presetIndex(document, presetName);
        if (!f.expect(index >= 0, "no preset named '" + presetName + "'")) return;
        const Preset& preset = document.presets[static_cast<size_t>(index)];
        smokePresetId_ = preset.id;
        f.expect(document.active == preset.id, "the new preset is not the active one");
        f.expect(preset.clients.size() == planned_.size(),
                 "the new preset holds " + std::to_string(preset.clients.size()) + " devices");
        f.expect(app_.presets->choices().contains(qtext(presetName)) &&
                     app_.presets->selected() == index,
                 "the presets button does not show the new preset");
        f.expect(noticeIs(vornisel::tr("notice.preset_saved", presetName)),
                 "the notice reads '" + noticeText() + "'");
        verifyStoredMatchesMemory(f);
    });
    end([this] { return "preset '" + presetName + "' (" + smokePresetId_ + ") saved and active"; });
}

void UiSmoke::checkSwitchPreset() {
    begin("switch presets");
    needDevices();
    act("note the running engines", [this](Findings& f) {
        pids_ = enginePids();
        f.expect(!pids_.empty(), "no engine runs before the switch: " + engineStates());
    });
    act("choose the first preset", [this](Findings& f) {
        f.expect(app_.presets->isVisible() && app_.presets->isEnabled(),
                 "the presets button cannot be used");
        app_.presets->choose(0);
    });
    waitFor(
        "the engines stopping and the first preset becoming active",
        [this] {
            const auto& document = app_.store->document;
            return document.active == document.presets[0].id &&
                   noticeIs(vornisel::tr("notice.preset_selected", document.presets[0].name));
        },
        engineDeadline);
    act("verify the switch", [this](Findings& f) {
        for (const int pid : pids_) {
            f.expect(!processExists(pid), "engine process " + std::to_string(pid) + " still runs");
        }
        f.expect(enginePids().empty(), "an engine runs after the switch");
        f.expect(app_.cards.size() == app_.store->clients().size(),
                 "the cards do not match the preset's devices");
        verifyStoredMatchesMemory(f);
    });
    clickCardButton("the second device's delete button", 1, &DeviceCard::remove);
    waitFor(
        "the device leaving the first preset",
        [this] { return app_.store->clients().size() == planned_.size() - 1; }, dialogDeadline);
    act("choose the saved preset again", [this](Findings& f) {
        const int index = presetIndex(app_.store->document, presetName);
        if (f.expect(index >= 0, "the saved preset is gone")) app_.presets->choose(index);
    });
    waitFor(
        "the saved preset becoming active with both devices",
        [this] {
            return app_.store->document.active == smokePresetId_ &&
                   app_.cards.size() == planned_.size() &&
                   noticeIs(vornisel::tr("notice.preset_selected", presetName));
        },
        engineDeadline);
    act("verify both presets", [this](Findings& f) {
        const auto stored = storedDocument(f);
        if (!stored) return;
        f.expect(stored->presets[0].clients.size() == planned_.size() - 1,
                 "the first preset kept the deleted device");
        const int index = presetIndex(*stored, presetName);
        f.expect(index >= 0 &&
                     stored->presets[static_cast<size_t>(index)].clients.size() == planned_.size(),
                 "the saved preset lost a device");
        verifyStoredMatchesMemory(f);
    });
    end([this] {
        return "switched with " + std::to_string(pids_.size()) +
               " engines stopped first; presets keep their own devices";
    });
}

void UiSmoke::checkSettings() {
    begin("settings");
    act("note the window texts",
        [this](Findings&) { englishHeading_ = app_.devicesHeading->text().toStdString(); });
    click("the settings button", [this] { return static_cast<QWidget*>(app_.settings); });
    waitFor(
        "the settings dialog opening",
        [this] { return dynamic_cast<SettingsDialog*>(app_.shownDialog()) != nullptr; },
        dialogDeadline);
    act("choose Russian", [this](Findings&) {
        dynamic_cast<SettingsDialog*>(app_.shownDialog())->language->choose(1);
    });
    click("the discovery check box", [this]() -> QWidget* {
        auto* dialog = dynamic_cast<SettingsDialog*>(app_.shownDialog());
        return dialog ? dialog->discovery : nullptr;
    });
    act("type the server and port", [this](Findings& f) {
        auto* dialog = dynamic_cast<SettingsDialog*>(app_.shownDialog());
        f.expect(!dialog->discovery->isChecked(), "discovery is still on");
        if (auto failure = typeInto(dialog->server, qtext(manualServer))) f.add(*failure);
        if (auto failure = typeInto(dialog->port, qtext(manualPort))) f.add(*failure);
    });
    click("Save in the settings dialog", [this]() -> QWidget* {
        auto* dialog = dynamic_cast<SettingsDialog*>(app_.shownDialog());
        return dialog ? dialog->save : nullptr;
    });
    waitFor(
        "the settings dialog closing", [this] { return !app_.activeDialog; }, dialogDeadline);
    act("verify every file", [this](Findings& f) {
        const auto stored = storedDocument(f);
        if (!stored) return;
        const PanelSettings& s = stored->settings;
        f.expect(s.language == "ru" && !s.discovery && s.server == manualServer &&
                     std::to_string(s.port) == manualPort,
                 "panel.json holds language '" + s.language + "', server '" + s.server +
                     "', port " + std::to_string(s.port));
        for (const Profile& client : app_.store->clients()) {
            f.expect(client.server == manualServer && client.port == manualPort,
                     "device " + std::to_string(client.id) + " keeps server '" + client.server +
                         "' port '" + client.port + "'");
        }
        verifyConfigFiles(
            f, [](const Profile& p, const std::vector<std::string>& lines, Findings& lf) {
                lf.expect(lines.size() == 14 && lines[1] == "server_ip=" + manualServer &&
                              lines[2] == "server_port=" + manualPort,
                          "the configuration of device " + std::to_string(p.id) +
                              " does not name the new server");
            });
        verifyStoredMatchesMemory(f);
        f.expect(app_.devicesHeading->text() == qtext(vornisel::tr("main.devices")) &&
                     app_.devicesHeading->text().toStdString() != englishHeading_,
                 "the window did not change language: '" +
                     app_.devicesHeading->text().toStdString() + "'");
        f.expect(
            // The item's text carries its mnemonic's "&".
            menuAction(app_.window->menuBar(), QKeySequence(QStringLiteral("Ctrl+Q")))
                    ->text()
                    .remove(QLatin1Char('&')) == qtext(vornisel::tr("tray.exit")),
            "the main menu did not change language");
        f.expect(noticeIs(vornisel::tr("notice.settings_saved")),
                 "the notice reads '" + noticeText() + "'");
    });
    end([this] {
        return "language ru, server " + manualServer + ":" + manualPort + " in panel.json and " +
               std::to_string(app_.store->clients().size()) + " engine configurations";
    });
}

void UiSmoke::checkLoginItem() {
    begin("launch at login");
    act("make sure only a private home is touched", [this](Findings&) {
        const LoginItem item = app_.loginItem();
        const auto temporary = std::filesystem::temp_directory_path();
        if (!inside(item.plistPath(), temporary) || !inside(item.autostartPath(), temporary)) {
            skip("not tried: the login item would be written into the user's own home (" +
                 item.plistPath().parent_path().string() + "); run with a temporary HOME");
        }
    });
    for (const bool enable : {true, false}) {
        const std::string turn = enable ? "on" : "off";
        click("the settings button", [this] { return static_cast<QWidget*>(app_.settings); });
        waitFor(
            "the settings dialog opening",
            [this] { return dynamic_cast<SettingsDialog*>(app_.shownDialog()) != nullptr; },
            dialogDeadline);
        click("the login check box", [this]() -> QWidget* {
            auto* dialog = dynamic_cast<SettingsDialog*>(app_.shownDialog());
            return dialog ? dialog->login : nullptr;
        });
        click("Save in the settings dialog", [this]() -> QWidget* {
            auto* dialog = dynamic_cast<SettingsDialog*>(app_.shownDialog());
            return dialog ? dialog->save : nullptr;
        });
        waitFor(
            "the settings dialog closing", [this] { return !app_.activeDialog; }, dialogDeadline);
        act("verify the login item is " + turn, [this, enable, turn](Findings& f) {
            const LoginItem item = app_.loginItem();
            const auto plist = fileText(item.plistPath());
            const bool autostart = std::filesystem::exists(item.autostartPath());
            if (enable) {
                // The property list is the default directory's; another one leaves it alone.
                f.expect(item.ownsPropertyList() ==
                             (plist && plist->find(LoginItem::label) != std::string::npos),
                         "the property list at " + item.plistPath().string() +
                             " does not follow the data directory");
                f.expect(autostart, "no autostart entry at " + item.autostartPath().string());
            } else {
                f.expect(!plist && !autostart, "turning it off left a registration behind");
            }
            f.expect(app_.store->document.settings.login == enable,
                     "the stored setting is not " + turn);
            verifyStoredMatchesMemory(f);
        });
    }
    end([] { return "turning it on wrote the registration, turning it off removed it"; });
}

void UiSmoke::checkQuit() {
    begin("quit with running engines");
    needDevices();
    startAndWait("start all from the status menu", [this](Findings& f) {
        QMenu* menu = app_.statusItem->menu();
        if (!f.expect(menu && !menu->actions().isEmpty() &&
                          menu->actions().front()->text() == qtext(vornisel::tr("tray.start")),
                      "the status menu does not offer to start")) {
            return;
        }
        menu->actions().front()->trigger();
    });
    // A size of its own, so that what panel.json holds afterwards can only come from the quit.
    const QSize resized = MainWindow::minimumContent + QSize(23, 17);
    act("resize the window", [this, resized](Findings&) {
        app_.window->resize(app_.window->size() - app_.root->size() + resized);
    });
    waitFor(
        "the window taking its new size", [this, resized] { return app_.root->size() == resized; },
        dialogDeadline);
    act("press Ctrl+Q", [this](Findings& f) {
        pids_ = enginePids();
        QAction* quit = menuAction(app_.window->menuBar(), QKeySequence(QStringLiteral("Ctrl+Q")));
        if (!f.expect(quit != nullptr, "the main menu has no Ctrl+Q item")) return;
        // The check must outlive the quit to look at what it left; it ends the program itself.
        app_.setTerminateHandler([this] { quitAnswered_ = true; });
        quit->trigger();
    });
    waitFor(
        "the quit being allowed", [this] { return quitAnswered_; }, engineDeadline);
    act("look for anything left", [this, resized](Findings& f) {
        for (const int pid : pids_) {
            f.expect(!processExists(pid), "engine process " + std::to_string(pid) + " is left");
        }
        const auto children = childProcesses();
        f.expect(children.empty(), std::to_string(children.size()) + " child processes are left");
        for (const Planned& plan : planned_) {
            const std::filesystem::path socket = host::socketPath(plan.id);
            const std::filesystem::path stats = "/dev/shm" + host::statsName(plan.id);
            f.expect(!std::filesystem::exists(socket), socket.string() + " is left");
            f.expect(!std::filesystem::exists(stats), stats.string() + " is left");
        }
        const auto stored = storedDocument(f);
        f.expect(stored && stored->settings.width == resized.width() &&
                     stored->settings.height == resized.height(),
                 "panel.json does not hold the window size at the quit");
    });
    end([this] {
        return std::to_string(pids_.size()) +
               " running engines stopped before the program was allowed to end";
    });
}

}  // namespace vornisel
