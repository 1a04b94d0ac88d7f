#pragma once

#include <QStringList>
#include <vector>

#include "hardware/device.h"
#include "model/profile.h"
#include "ui/dialogs/panel_dialog.h"

class QLineEdit;
class QScrollArea;

namespace vornisel {

class MenuButton;
class RouteMatrix;

// Creates a virtual device or edits one: the hardware device, the latency mode with its custom
// block count, and the routes of both directions on two matrices under two tabs. Save validates
// and writes the result into profile(), which the owner reads once the completion reports true.
class DeviceDialog : public PanelDialog {
public:
    // `devices` are the hardware devices offered; `profile` is the device to edit, or a new one
    // prepared by the owner, taken unchanged. An edited device keeps its hardware device.
    DeviceDialog(std::vector<Device> devices, Profile profile, bool editing);

    // "Low", "Stable", "Safe", "Custom", in menu order; the chosen text is the profile's mode.
    static const QStringList& modes();
    static constexpr int customMode = 3;

    const Profile& profile() const { return profile_; }
    const std::vector<Device>& available() const { return available_; }
    bool editing() const { return editing_; }
    bool selectedInput() const { return selectedInput_; }

    // Sizes both matrices from the chosen hardware device (at most 32 rows).
    void updateDevice();
    // Shows the custom latency controls exactly while the mode is Custom.
    void updateMode();
    // Shows the input matrix (true) or the output matrix (false) and marks its tab.
    void showTab(bool input);
    // Save: validates in order, shows the first failure, or writes the profile and finishes.
    void commit();

    MenuButton* const deviceBox;
    MenuButton* const modeBox;
    QLineEdit* const custom;
    QLabel* const customLabel;
    ActionButton* const up;
    ActionButton* const down;
    RouteMatrix* const inputs;
    RouteMatrix* const outputs;
    QScrollArea* const scroll;
    ActionButton* const inputTab;
    ActionButton* const outputTab;
    ActionButton* const reset;

private:
    void placeChoosers();
    void placeLatency();
    void placeRoutes();
    void chooseInitialTab();
    void step(int delta);

    Profile profile_;
    std::vector<Device> available_;
    bool editing_;
    bool selectedInput_ = true;
};

}  // namespace vornisel
