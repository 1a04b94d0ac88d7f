#pragma once

#include <QImage>
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

#include "model/profile.h"

class QWidget;

namespace vornisel {

class ActionButton;
class ClientApp;
class DeviceCard;
class UiScript;

// The preview rendering ("--render-preview"): brings a launched panel into a fixed set of states
// through its own flows and writes the main window's content and each dialog's content as PNG
// files into "previews/" in the data directory, at the screen's scale (twice their size in points
// at 200 %), as people see them.
// The states: no devices; three devices stopped, running with live levels and failed; a notice;
// a card expanded with diagnostics and a recommendation; the device dialog on both tabs and with
// an error, the settings dialog with and without discovery, the preset dialog. It prints the
// files' paths and ends the application (status 0, or 1 when a state could not be reached).
class PreviewRenderer : public QObject {
public:
    explicit PreviewRenderer(ClientApp& app);
    ~PreviewRenderer() override;

    void start();

    // `content` drawn at its screen's device pixel ratio, on the window background it sits on.
    static QImage render(QWidget& content);

    // The file names, in the order they are written.
    static const std::vector<std::string>& names();

private:
    struct Device {
        std::string hardware;
        std::map<int, int> inputs, outputs;
        std::string latency = "2";
        std::string mode = "Stable";
        uint32_t id = 0;
    };

    void addDevices();
    void startEngines();
    bool enginesSettled() const;
    void waitForActiveWindow();
    void captureMain(const std::string& name);
    void captureDialog(const std::string& name);
    void click(const std::string& what, std::function<QWidget*()> target);
    void waitFor(const std::string& what, std::function<bool()> until,
                 std::chrono::milliseconds timeout);
    void closeNotice();
    void deviceDialogStates();
    void mainStates();
    void otherDialogStates();
    void finish();

    // One of the buttons (`&DeviceCard::edit`, say) of the planned device's card, or null.
    QWidget* cardButton(size_t device, ActionButton* (DeviceCard::*button)() const) const;

    ClientApp& app_;
    UiScript* script_;
    std::vector<Device> devices_;
    std::filesystem::path folder_;
    std::filesystem::path blocker_;
    std::vector<std::filesystem::path> written_;
    std::vector<std::string> problems_;
    bool finished_ = false;
};

}  // namespace vornisel
