// The built-in UI check's device flows: launch, adding devices through the device dialog,
// starting them, and what the cards, meters and diagnostics then show.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <algorithm>

#include "app/client_app.h"
#include "app/main_window.h"
#include "app/status_menu.h"
#include "check/smoke_files.h"
#include "check/ui_input.h"
#include "check/ui_script.h"
#include "check/ui_smoke.h"
#include "hardware/pcm_probe.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/card/diagnostic_view.h"
#include "ui/card/main_content.h"
#include "ui/card/meter_bridge.h"
#include "ui/dialogs/device_dialog.h"
#include "ui/dialogs/route_grid.h"
#include "ui/dialogs/route_matrix.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

using namespace std::chrono_literals;

// Engines reach "running" within about two seconds (start-up, then one poll); the rest is room
// for a slow, instrumented build.
constexpr auto engineDeadline = 30s;
constexpr auto dialogDeadline = 5s;
// A listing waits for the configured PCMs' probes at most.
constexpr auto listingDeadline = kConfiguredPcmProbeBound + dialogDeadline;

std::string routesText(const std::map<int, int>& routes) {
    std::string text;
    for (const auto& [row, column] : routes) {
        if (!text.empty()) text += ", ";
        text += std::to_string(row + 1) + "->" + std::to_string(column + 1);
    }
    return "{" + text + "}";
}

QPoint cellCentre(int row, int column) {
    return route_grid::cellRect({row, column}).center().toPoint();
}

std::vector<int> expectedMeterChannels(const Profile& profile) {
    std::vector<int> channels;
    for (const bool input : {true, false}) {
        std::vector<int> list = channelList(input ? profile.driverInputs : profile.driverOutputs);
        if (list.empty()) list.push_back(-1);
        channels.insert(channels.end(), list.begin(), list.end());
    }
    return channels;
}

}  // namespace

void UiSmoke::checkLaunch() {
    begin("launch");
    // The status menu's window item hides the window (or minimises it, without a tray) and shows
    // it again.
    for (const bool hide : {true, false}) {
        act(hide ? "hide the window from the status menu" : "show it again", [this](Findings& f) {
            QMenu* menu = app_.statusItem ? app_.statusItem->menu() : nullptr;
            if (f.expect(menu && menu->actions().size() == 3, "the status menu lacks its items")) {
                menu->actions()[1]->trigger();
            }
        });
        waitFor(
            hide ? "the window hiding" : "the window showing",
            [this, hide] { return app_.windowShown() != hide; }, dialogDeadline);
        act("read the status menu", [this, hide](Findings& f) {
            const QStringList titles = app_.statusItem->titles();
            const QStringList expected = {qtext(vornisel::tr("tray.start")),
                                          qtext(vornisel::tr(hide ? "tray.show" : "tray.hide")),
                                          qtext(vornisel::tr("tray.exit"))};
            f.expect(titles == expected, "the status menu reads '" +
                                             titles.join(QStringLiteral(", ")).toStdString() + "'");
        });
    }
    // The hardware is listed on a worker once the window is up.
    waitFor(
        "the hardware list", [this] { return !app_.listingDevices(); }, listingDeadline);
    act("look at the window", [this](Findings& f) {
        const auto& stored = app_.store->document.settings;
        // The stored size, as far as the screen is wide: a window never opens past its edges.
        const QSize size = MainWindow::openingSize(stored.width, stored.height)
                               .boundedTo({app_.window->screen()->availableSize().width(), 100000});
        f.expect(app_.windowShown(), "the main window is not shown");
        f.expect(app_.root->size() == size, "the content is " + std::to_string(app_.root->width()) +
                                                "x" + std::to_string(app_.root->height()) +
                                                ", not the stored " + std::to_string(size.width()) +
                                                "x" + std::to_string(size.height()));
        f.expect(!app_.activeDialog, "a dialog opened at launch in test mode");
        f.expect(app_.empty->isVisible() &&
                     app_.empty->text() == qtext(vornisel::tr("main.no_devices_title")),
                 "the empty list's title is not shown");
        f.expect(menuAction(app_.window->menuBar(), QKeySequence(QStringLiteral("Ctrl+Q"))),
                 "the main menu has no Ctrl+Q item");
        for (const Planned& plan : planned_) {
            const bool listed =
                std::any_of(app_.hardware.begin(), app_.hardware.end(),
                            [&](const Device& device) { return device.name == plan.hardware; });
            f.expect(listed, "the hardware list lacks '" + plan.hardware +
                                 "': give ALSA the demo devices of resources/alsa/demo.asoundrc");
        }
    });
    end([this] {
        return "window " + std::to_string(app_.root->width()) + "x" +
               std::to_string(app_.root->height()) + ", empty list, status menu and " +
               std::to_string(app_.hardware.size()) + " hardware devices";
    });
}

void UiSmoke::addDevice(size_t index) {
    begin("add device " + std::to_string(index + 1) + " (" + planned_[index].hardware + ")");
    click("the add button", [this] { return static_cast<QWidget*>(app_.add); });
    waitFor(
        "the device dialog opening",
        [this] { return dynamic_cast<DeviceDialog*>(app_.shownDialog()) != nullptr; },
        dialogDeadline);
    fillDeviceDialog(index);
    click("Add in the device dialog", [this]() -> QWidget* {
        auto* dialog = dynamic_cast<DeviceDialog*>(app_.shownDialog());
        return dialog ? dialog->save : nullptr;
    });
    waitFor(
        "the device dialog closing", [this] { return !app_.activeDialog; }, dialogDeadline);
    act("verify the new device", [this, index](Findings& f) { verifyAddedDevice(index, f); });
    end([this, index] {
        const Planned& plan = planned_[index];
        return "device " + std::to_string(plan.id) + " stored with inputs " +
               routesText(plan.inputs) + " and outputs " + routesText(plan.outputs) +
               ", card shown";
    });
}

void UiSmoke::fillDeviceDialog(size_t index) {
    auto deviceDialog = [this] { return dynamic_cast<DeviceDialog*>(app_.shownDialog()); };
    act("choose the hardware device", [this, index, deviceDialog](Findings& f) {
        DeviceDialog* dialog = deviceDialog();
        const auto& offered = dialog->available();
        const auto found = std::find_if(offered.begin(), offered.end(), [&](const Device& d) {
            return d.name == planned_[index].hardware;
        });
        if (!f.expect(found != offered.end(),
                      "the dialog does not offer '" + planned_[index].hardware + "'")) {
            return;
        }
        f.expect(dialog->deviceBox->isEnabled(), "the hardware chooser is disabled");
        dialog->deviceBox->choose(static_cast<int>(found - offered.begin()));
    });
    if (const auto blocks = planned_[index].customBlocks) {
        act("choose a custom latency", [deviceDialog, blocks](Findings& f) {
            DeviceDialog* dialog = deviceDialog();
            dialog->modeBox->choose(DeviceDialog::customMode);
            if (auto failure = typeInto(dialog->custom, qtext(*blocks))) f.add(*failure);
        });
    }
    for (const bool input : {true, false}) {
        const std::map<int, int>& routes = input ? planned_[index].inputs : planned_[index].outputs;
        click(input ? "the inputs tab" : "the outputs tab", [deviceDialog, input]() -> QWidget* {
            DeviceDialog* dialog = deviceDialog();
            return !dialog ? nullptr : input ? dialog->inputTab : dialog->outputTab;
        });
        for (const auto& [row, column] : routes) {
            click(
                std::string(input ? "input" : "output") + " route " + std::to_string(row + 1) +
                    "->" + std::to_string(column + 1),
                [deviceDialog, input]() -> QWidget* {
                    DeviceDialog* dialog = deviceDialog();
                    return !dialog ? nullptr : input ? dialog->inputs : dialog->outputs;
                },
                [row, column] { return cellCentre(row, column); });
        }
    }
    act("read the matrices back", [this, index, deviceDialog](Findings& f) {
        DeviceDialog* dialog = deviceDialog();
        f.expect(dialog->inputs->routes() == planned_[index].inputs,
                 "the input matrix holds " + routesText(dialog->inputs->routes()));
        f.expect(dialog->outputs->routes() == planned_[index].outputs,
                 "the output matrix holds " + routesText(dialog->outputs->routes()));
    });
}

void UiSmoke::verifyAddedDevice(size_t index, Findings& f) {
    Planned& plan = planned_[index];
    const auto& clients = app_.store->clients();
    if (!f.expect(clients.size() == index + 1, "the preset holds " +
                                                   std::to_string(clients.size()) +
                                                   " devices, not " + std::to_string(index + 1))) {
        return;
    }
    const Profile& added = clients.back();
    plan.id = added.id;
    plan.name = added.name;
    f.expect(added.name == plan.hardware, "the new device is named '" + added.name + "'");
    const auto hardware = std::find_if(app_.hardware.begin(), app_.hardware.end(),
                                       [&](const Device& d) { return d.name == plan.hardware; });
    f.expect(hardware != app_.hardware.end() && added.device == hardware->uid,
             "the new device uses hardware '" + added.device + "'");
    f.expect(added.routes(true) == plan.inputs,
             "stored input routes are " + routesText(added.routes(true)));
    f.expect(added.routes(false) == plan.outputs,
             "stored output routes are " + routesText(added.routes(false)));
    const std::string mode = plan.customBlocks ? "Custom" : "Stable";
    f.expect(added.latencyMode == mode, "the latency mode is not " + mode);
    if (plan.customBlocks) {
        f.expect(added.latency == *plan.customBlocks, "the latency is '" + added.latency + "'");
    }
    verifyStoredMatchesMemory(f);
    DeviceCard* shown = app_.card(added.id);
    f.expect(shown && shown->isVisible(), "no card shows the new device");
    f.expect(app_.empty->isHidden(), "the empty list's title still shows");
    f.expect(noticeIs(vornisel::tr("notice.device_added")),
             "the notice reads '" + noticeText() + "'");
}

bool UiSmoke::allRunning() const {
    for (const Planned& plan : planned_) {
        const auto rt = app_.runtime(plan.id);
        if (!rt->isRunning() || rt->value("status") != 3) return false;
    }
    return true;
}

bool UiSmoke::anyEnded() const {
    for (const Planned& plan : planned_) {
        const auto rt = app_.runtime(plan.id);
        if (rt->process && !rt->isRunning() && !rt->stopping && rt->value("status") == 7) {
            return true;
        }
    }
    return false;
}

std::string UiSmoke::engineStates() const {
    std::string text;
    for (const Planned& plan : planned_) {
        const auto rt = app_.runtime(plan.id);
        if (!text.empty()) text += "; ";
        text += "device " + std::to_string(plan.id) + ": status '" + rt->status() + "', health '" +
                rt->health() + "'";
        if (!rt->process) {
            text += ", never launched";
        } else if (!rt->isRunning()) {
            text +=
                ", engine ended with status " + std::to_string(rt->process->terminationStatus());
        }
        if (rt->commandFailed) text += ", its socket does not answer";
        const auto log =
            fileText(app_.store->directory() / ("engine-" + std::to_string(plan.id) + ".log"));
        if (log && !log->empty()) {
            const auto lines = textLines(*log);
            text += ", engine log ends '" + lines.back() + "'";
        }
    }
    return text;
}

void UiSmoke::startAndWait(const std::string& what, std::function<void(Findings&)> starter) {
    act(what, std::move(starter));
    waitFor(
        "both engines running (or one ending)", [this] { return allRunning() || anyEnded(); },
        engineDeadline);
    act("verify the engines run", [this](Findings& f) {
        f.expect(allRunning(), "not every engine runs: " + engineStates());
    });
}

void UiSmoke::checkStartAll() {
    begin("start all");
    needDevices();
    startAndWait("click the start-all button", [this](Findings& f) {
        if (auto failure = vornisel::click(app_.toggleAll)) f.add(*failure);
    });
    act("verify files and controls", [this](Findings& f) {
        verifyConfigFiles(
            f, [](const Profile& p, const std::vector<std::string>& lines, Findings& lf) {
                lf.expect(lines.size() == 14 && lines[3] == "client_id=" + std::to_string(p.id),
                          "the configuration of device " + std::to_string(p.id) + " is malformed");
            });
        for (const Planned& plan : planned_) {
            const auto log =
                app_.store->directory() / ("engine-" + std::to_string(plan.id) + ".log");
            f.expect(std::filesystem::exists(log), "no engine log " + log.string());
        }
        f.expect(app_.toggleAll->glyph() == Glyph::stop &&
                     app_.toggleAll->toolTip() == qtext(vornisel::tr("main.stop_all")),
                 "the header's start-all button does not offer to stop");
        f.expect(!app_.statusItem->titles().isEmpty() &&
                     app_.statusItem->titles().front() == qtext(vornisel::tr("tray.stop")),
                 "the status menu does not offer to stop");
        pids_ = enginePids();
    });
    end([this] { return std::to_string(pids_.size()) + " engines running: " + engineStates(); });
}

void UiSmoke::verifyConfigFiles(
    Findings& f,
    const std::function<void(const Profile&, const std::vector<std::string>&, Findings&)>&
        verifyLines) {
    for (const Profile& client : app_.store->clients()) {
        const auto file = app_.store->configURL(client);
        const auto text = fileText(file);
        if (!f.expect(text.has_value(), "missing configuration " + file.string())) continue;
        verifyLines(client, textLines(*text), f);
    }
}

void UiSmoke::checkCards() {
    begin("card texts");
    needDevices();
    act("read the cards", [this](Findings& f) {
        for (const Planned& plan : planned_) {
            DeviceCard* shown = app_.card(plan.id);
            if (!f.expect(shown != nullptr, "no card for device " + std::to_string(plan.id))) {
                continue;
            }
            const auto rt = shown->runtime();
            const CardTexts& texts = shown->texts();
            const std::string who = "card " + std::to_string(plan.id);
            f.expect(texts.name == qtext(plan.name),
                     who + " is named '" + texts.name.toStdString() + "'");
            const std::string subtitle =
                "ID " + std::to_string(plan.id) + "  -  " + rt->latency(shown->profile());
            f.expect(texts.subtitle == qtext(subtitle),
                     who + " subtitle reads '" + texts.subtitle.toStdString() + "'");
            f.expect(texts.status == qtext(vornisel::tr("status.running")),
                     who + " status reads '" + texts.status.toStdString() + "'");
            const std::string rate = std::to_string(rt->value("sampleRate"));
            f.expect(texts.health.contains(qtext(rate)),
                     who + " health '" + texts.health.toStdString() + "' lacks the rate " + rate);
            f.expect(texts.statusGlyph == Glyph::play, who + " does not show a healthy engine");
            f.expect(shown->toggle()->glyph() == Glyph::stop &&
                         shown->toggle()->toolTip() == qtext(vornisel::tr("action.stop_device")),
                     who + " does not offer to stop");
            f.expect(!shown->edit()->isEnabled() && !shown->remove()->isEnabled(),
                     who + " lets a running device be edited or deleted");
        }
    });
    end([this] {
        std::string text;
        for (const Planned& plan : planned_) {
            if (DeviceCard* shown = app_.card(plan.id)) {
                text += (text.empty() ? "" : " | ") + shown->texts().name.toStdString() + ", " +
                        shown->texts().subtitle.toStdString() + ", " +
                        shown->texts().status.toStdString() + ", " +
                        shown->texts().health.toStdString();
            }
        }
        return text;
    });
}

void UiSmoke::checkMeters() {
    begin("meters");
    needDevices();
    waitFor(
        "levels above the floor on every card",
        [this] {
            // Engines that do not run show no levels; the check says why at once.
            if (!allRunning()) return true;
            for (const Planned& plan : planned_) {
                DeviceCard* shown = app_.card(plan.id);
                if (!shown) return false;
                const auto& columns = shown->meter()->picture().columns;
                if (std::none_of(columns.begin(), columns.end(),
                                 [](const auto& c) { return c.level > -60; })) {
                    return false;
                }
            }
            return true;
        },
        15s);
    act("read the meters", [this](Findings& f) {
        f.expect(allRunning(), "not every engine runs: " + engineStates());
        for (const Planned& plan : planned_) {
            DeviceCard* shown = app_.card(plan.id);
            if (!shown) continue;
            std::vector<int> channels;
            for (const auto& column : shown->meter()->picture().columns) {
                channels.push_back(column.channel);
            }
            const std::vector<int> expected = expectedMeterChannels(shown->profile());
            f.expect(channels.size() == expected.size(),
                     "card " + std::to_string(plan.id) + " has " + std::to_string(channels.size()) +
                         " meters, not " + std::to_string(expected.size()));
            f.expect(shown->meter()->width() == MeterBridge::naturalWidth(shown->profile()),
                     "card " + std::to_string(plan.id) + " meter is not its natural width");
            f.expect(shown->meterScroll()->isVisible(),
                     "card " + std::to_string(plan.id) + " hides its meters");
        }
    });
    end([this] {
        std::string text;
        for (const Planned& plan : planned_) {
            if (DeviceCard* shown = app_.card(plan.id)) {
                text += (text.empty() ? "" : " | ") + std::to_string(plan.id) + ":";
                for (const auto& column : shown->meter()->picture().columns) {
                    text += " " + std::to_string(static_cast<int>(column.level)) + " dB";
                }
            }
        }
        return "levels " + text;
    });
}

void UiSmoke::checkDiagnostics() {
    begin("diagnostics");
    needDevices();
    clickCardButton("the first card's diagnostics button", 0, &DeviceCard::info);
    waitFor(
        "the card expanding and three seconds of statistics",
        [this] {
            DeviceCard* shown = app_.card(planned_[0].id);
            if (!allRunning() && shown && shown->height() == 308) return true;
            return shown && shown->height() == 308 && shown->diagnostics()->isVisible() &&
                   shown->runtime()->samples.size() >= 3;
        },
        15s);
    act("read the diagnostics", [this](Findings& f) {
        f.expect(allRunning(), "not every engine runs: " + engineStates());
        DeviceCard* shown = app_.card(planned_[0].id);
        const DiagnosticPicture& picture = shown->diagnostics()->picture();
        const auto empty = diagnosticFigures({});
        for (size_t i = 0; i < picture.figures.size(); ++i) {
            f.expect(picture.figures[i] != qtext(empty[i]),
                     "figure " + std::to_string(i + 1) + " shows no value");
        }
        f.expect(!picture.bars[0].empty() && !picture.bars[1].empty(), "a chart has no bars");
        f.expect(shown->recommend()->isVisible() && shown->exportButton()->isVisible(),
                 "the expanded card lacks its recommendation or export button");
        DeviceCard* other = app_.card(planned_[1].id);
        f.expect(other && other->height() == 124, "the other card did not stay collapsed");
    });
    end([this] {
        DeviceCard* shown = app_.card(planned_[0].id);
        std::string text;
        for (const QString& figure : shown->diagnostics()->picture().figures) {
            text += (text.empty() ? "" : ", ") + figure.toStdString();
        }
        return "expanded card shows " + text + " over " +
               std::to_string(shown->runtime()->samples.size()) + " samples";
    });
}

void UiSmoke::checkRecommendation() {
    begin("apply recommendation");
    needDevices();
    act("read the proposal", [this](Findings& f) {
        DeviceCard* shown = app_.card(planned_[0].id);
        const auto rt = shown->runtime();
        const auto proposal = rt->recommendation(shown->profile().blocks());
        if (!f.expect(proposal.has_value(), "the engine's state gives no recommendation for " +
                                                std::to_string(shown->profile().blocks()) +
                                                " blocks: " + engineStates())) {
            return;
        }
        proposed_ = proposal->first;
        restartedFrom_ = rt->process ? rt->process->processIdentifier() : 0;
        f.expect(
            shown->recommend()->isEnabled() &&
                shown->recommend()->title() == qtext(proposal->second),
            "the recommendation button reads '" + shown->recommend()->title().toStdString() + "'");
        f.expect(shown->info()->attention(), "the diagnostics button does not call attention");
    });
    clickCardButton("the recommendation", 0, &DeviceCard::recommend);
    waitFor(
        "the engine restarting with the proposed latency",
        [this] {
            const auto rt = app_.runtime(planned_[0].id);
            return noticeIs(vornisel::tr("notice.latency_recommendation_applied", proposed_)) &&
                   rt->isRunning() && rt->value("status") == 3 && rt->process &&
                   rt->process->processIdentifier() != restartedFrom_;
        },
        engineDeadline);
    act("verify the stored latency", [this](Findings& f) {
        const auto& clients = app_.store->clients();
        const auto found = std::find_if(clients.begin(), clients.end(),
                                        [&](const Profile& p) { return p.id == planned_[0].id; });
        if (!f.expect(found != clients.end(), "the device is gone")) return;
        f.expect(found->latency == std::to_string(proposed_) && found->latencyMode == "Custom",
                 "the device's latency is '" + found->latency + "'");
        verifyStoredMatchesMemory(f);
        verifyConfigFiles(
            f, [this](const Profile& p, const std::vector<std::string>& lines, Findings& lf) {
                if (p.id != planned_[0].id) return;
                lf.expect(lines.size() == 14 &&
                              lines[5] == "client_latency_blocks=" + std::to_string(proposed_),
                          "the engine configuration does not carry the new latency");
            });
    });
    end([this] {
        return "latency raised to " + std::to_string(proposed_) +
               " blocks, engine restarted: " + noticeText();
    });
}

}  // namespace vornisel
