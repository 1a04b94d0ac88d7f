// The built-in UI check: its building blocks, the order of its flows, and how it ends.
#include "check/ui_smoke.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <iostream>

#include "app/client_app.h"
#include "check/smoke_files.h"
#include "check/ui_input.h"
#include "check/ui_script.h"
#include "model/panel_store.h"
#include "ui/card/device_card.h"
#include "ui/dialogs/panel_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/panel_view.h"

namespace vornisel {

namespace {

// Generous, because the check also runs under the sanitizers on a busy two-core machine; a
// passing run waits only as long as the panel needs.
constexpr auto wholeRunLimit = std::chrono::minutes(5);

std::string seconds(std::chrono::milliseconds timeout) {
    return std::to_string(timeout.count() / 1000) + " s";
}

}  // namespace

UiSmoke::UiSmoke(ClientApp& app) : QObject(&app), app_(app), script_(new UiScript(this)) {
    script_->setFailureHandler([this](const std::string& step, const std::string& what) {
        findings_.add("step '" + step + "' threw: " + what);
    });
    // Two devices on the demo hardware: one with routes in both directions and a latency below
    // the engine's safe floor (so that a recommendation appears), one with a named mode.
    planned_.push_back({"Demo Stereo Interface", "1", {{0, 0}}, {{0, 0}, {1, 1}}, 0, {}});
    planned_.push_back({"Demo Studio Interface", std::nullopt, {{0, 2}}, {{0, 2}, {1, 3}}, 0, {}});
}

UiSmoke::~UiSmoke() = default;

void UiSmoke::start() {
    size_t stored = 0;
    for (const Preset& preset : app_.store->document.presets)
        stored += preset.clients.size();
    if (stored > 0) {
        std::cerr << "The UI check needs a data directory without devices, but "
                  << app_.store->directory().string() << " holds " << stored
                  << ". Give it a new or empty --data-dir." << std::endl;
        QCoreApplication::exit(1);
        return;
    }
    checkLaunch();
    addDevice(0);
    addDevice(1);
    checkStartAll();
    checkCards();
    checkMeters();
    checkDiagnostics();
    checkRecommendation();
    checkSupportBundle();
    checkSavePreset();
    checkSwitchPreset();
    checkSettings();
    checkLoginItem();
    checkQuit();
    QTimer::singleShot(wholeRunLimit, this, [this] { watchdogFired(); });
    script_->start([this] { finish(); });
}

void UiSmoke::begin(const std::string& name) {
    script_->act("begin " + name, [this, name] {
        checkName_ = name;
        findings_ = Findings();
        skipReason_.clear();
    });
}

void UiSmoke::needDevices() {
    script_->act("look for the added devices", [this] {
        for (size_t i = 0; i < planned_.size() && acting(); ++i) {
            if (!app_.card(planned_[i].id)) {
                skip("not tried: device " + std::to_string(i + 1) +
                     " of the check has no card (see 'add device " + std::to_string(i + 1) + "')");
            }
        }
    });
}

void UiSmoke::click(const std::string& what, std::function<QWidget*()> target,
                    std::function<std::optional<QPoint>()> point) {
    script_->act("click " + what, [this, what, target, point] {
        if (!acting()) return;
        if (auto failure = vornisel::click(target(), point ? point() : std::nullopt)) {
            findings_.add("could not click " + what + ": " + *failure);
        }
    });
}

void UiSmoke::clickCardButton(const std::string& what, size_t device,
                              ActionButton* (DeviceCard::*button)() const) {
    click(what, [this, device, button]() -> QWidget* {
        DeviceCard* shown = app_.card(planned_[device].id);
        return shown ? (shown->*button)() : nullptr;
    });
}

void UiSmoke::act(const std::string& what, std::function<void(Findings&)> action) {
    script_->act(what, [this, action] {
        if (acting()) action(findings_);
    });
}

void UiSmoke::waitFor(const std::string& what, std::function<bool()> until, Milliseconds timeout) {
    script_->add({"wait: " + what,
                  {},
                  [this, until] { return !acting() || until(); },
                  timeout,
                  [this, what, timeout](bool met) {
                      if (!met) findings_.add(what + " did not happen within " + seconds(timeout));
                  }});
}

void UiSmoke::end(std::function<std::string()> passedMessage) {
    script_->act("end", [this, passedMessage] {
        // A dialog left open by a failed step would keep every later flow from opening its own.
        if (app_.activeDialog) app_.activeDialog->finish(false);
        if (!skipReason_.empty() && findings_.ok()) {
            report_.record(checkName_, SmokeReport::Outcome::skipped, skipReason_);
        } else {
            report_.record(checkName_, findings_, findings_.ok() ? passedMessage() : std::string());
        }
        std::cout << report_.checks().back().name << ": "
                  << SmokeReport::text(report_.checks().back().outcome) << std::endl;
    });
}

std::optional<PanelDocument> UiSmoke::storedDocument(Findings& findings) const {
    const auto file = app_.store->directory() / "panel.json";
    const auto text = fileText(file);
    if (!text) {
        findings.add("cannot read " + file.string());
        return std::nullopt;
    }
    try {
        return parsePanelDocument(*text);
    } catch (const std::exception& error) {
        findings.add("panel.json does not read back: " + std::string(error.what()));
        return std::nullopt;
    }
}

void UiSmoke::verifyStoredMatchesMemory(Findings& findings) const {
    if (const auto stored = storedDocument(findings)) {
        findings.expect(*stored == app_.store->document,
                        "panel.json differs from the document in memory");
    }
}

std::string UiSmoke::noticeText() const {
    return app_.notice->isHidden() ? std::string("(no notice)")
                                   : app_.noticeText->text().toStdString();
}

bool UiSmoke::noticeIs(const std::string& text) const {
    return !app_.notice->isHidden() && app_.noticeText->text().toStdString() == text;
}

std::vector<int> UiSmoke::enginePids() const {
    std::vector<int> pids;
    for (const auto& [id, rt] : app_.runtimes()) {
        if (rt->process && rt->isRunning()) pids.push_back(rt->process->processIdentifier());
    }
    return pids;
}

void UiSmoke::watchdogFired() {
    if (finished_) return;
    report_.record("time limit", SmokeReport::Outcome::failed,
                   "the UI check did not finish within " + seconds(wholeRunLimit) +
                       "; it was at step '" + script_->current() + "'");
    script_->abandon();
    if (app_.activeDialog) app_.activeDialog->finish(false);
    // No engine may outlive the check, also when it is cut short.
    app_.stopGroup([this](bool) { finish(); });
}

void UiSmoke::finish() {
    if (finished_) return;
    finished_ = true;
    const auto file = app_.store->directory() / "ui-smoke.json";
    try {
        report_.write(file);
    } catch (const std::exception& error) {
        report_.record("result file", SmokeReport::Outcome::failed,
                       "cannot write " + file.string() + ": " + error.what());
    }
    std::cout << report_.summary() << "Results: " << file.string() << std::endl;
    QCoreApplication::exit(report_.passed() ? 0 : 1);
}

}  // namespace vornisel
