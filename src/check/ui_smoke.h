#pragma once

#include <QObject>
#include <QPoint>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "check/smoke_report.h"
#include "model/panel_document.h"

class QWidget;

namespace vornisel {

class ActionButton;
class ClientApp;
class DeviceCard;
class UiScript;

// The built-in UI check ("--ui-smoke"): drives the real flows of a launched panel against the
// stand-in engine host, through the events a user's clicks and keys produce, and checks what the
// window shows and what the files say after each flow. It adds two devices through the device
// dialog, starts them, reads the cards, meters and diagnostics, applies a latency recommendation,
// exports a support bundle, saves and switches presets, changes the settings, and quits with the
// engines running. Every check is written to "ui-smoke.json" in the data directory; the
// application then ends with status 0 only when none failed. A data directory that already holds
// devices is refused (status 1, nothing written): the check's own devices must be the only ones.
class UiSmoke : public QObject {
public:
    explicit UiSmoke(ClientApp& app);
    ~UiSmoke() override;

    void start();

    const SmokeReport& report() const { return report_; }

private:
    using Milliseconds = std::chrono::milliseconds;

    // What the check expects of a device it adds.
    struct Planned {
        std::string hardware;  // the demo device's name
        std::optional<std::string> customBlocks;
        std::map<int, int> inputs, outputs;  // hardware row -> virtual column
        uint32_t id = 0;                     // known once added
        std::string name;
    };

    // Check building blocks. A check's steps stop acting once it has a finding, so that one
    // failure does not set off a cascade; the check's end records it.
    void begin(const std::string& name);
    void click(const std::string& what, std::function<QWidget*()> target,
               std::function<std::optional<QPoint>()> point = {});
    // Clicks one of the buttons (`&DeviceCard::info`, say) of planned device `device`'s card.
    void clickCardButton(const std::string& what, size_t device,
                         ActionButton* (DeviceCard::*button)() const);
    void act(const std::string& what, std::function<void(Findings&)> action);
    void waitFor(const std::string& what, std::function<bool()> until, Milliseconds timeout);
    void end(std::function<std::string()> passedMessage);
    // Ends the current check as skipped for `reason`: its remaining steps do nothing.
    void skip(const std::string& reason) { skipReason_ = reason; }
    // For checks that work on the devices the check added: skips the check when one of them has
    // no card, as when adding it failed.
    void needDevices();
    bool acting() const { return findings_.ok() && skipReason_.empty(); }

    // The flows, in the order they run.
    void checkLaunch();
    void addDevice(size_t index);
    void checkStartAll();
    void checkCards();
    void checkMeters();
    void checkDiagnostics();
    void checkRecommendation();
    void checkSupportBundle();
    void checkSavePreset();
    void checkSwitchPreset();
    void checkSettings();
    void checkLoginItem();
    void checkQuit();

    // Device flow parts.
    void fillDeviceDialog(size_t index);
    void verifyAddedDevice(size_t index, Findings& findings);
    void startAndWait(const std::string& what, std::function<void(Findings&)> starter);
    bool allRunning() const;
    bool anyEnded() const;
    std::string engineStates() const;
    void verifyConfigFiles(Findings& findings,
                           const std::function<void(const Profile&, const std::vector<std::string>&,
                                                    Findings&)>& verifyLines);

    // Lookups in the live application.
    std::optional<PanelDocument> storedDocument(Findings& findings) const;
    void verifyStoredMatchesMemory(Findings& findings) const;
    bool noticeIs(const std::string& text) const;
    std::string noticeText() const;
    std::vector<int> enginePids() const;

    void watchdogFired();
    void finish();

    ClientApp& app_;
    UiScript* script_;
    SmokeReport report_;
    std::string checkName_;
    Findings findings_;
    std::string skipReason_;
    std::vector<Planned> planned_;
    std::vector<int> pids_;
    int proposed_ = 0;
    int restartedFrom_ = 0;
    std::string smokePresetId_;
    std::filesystem::path archive_;
    std::string englishHeading_;
    bool quitAnswered_ = false;
    bool finished_ = false;
};

}  // namespace vornisel
