#pragma once

#include "model/panel_document.h"
#include "ui/dialogs/panel_dialog.h"

class QCheckBox;
class QLineEdit;

namespace vornisel {

class MenuButton;

// Edits the application settings: language, automatic discovery, server address and port, the
// device-identifier prefix, launch at login and start minimised. Save validates prefix, port and
// (with discovery off) the server address, in that order, and rewrites settings(); the owner
// reads it once the completion reports true.
class SettingsDialog : public PanelDialog {
public:
    explicit SettingsDialog(PanelSettings settings);

    const PanelSettings& settings() const { return settings_; }

    // The discovery check box's action: the server field is editable only without discovery.
    void updateDiscovery();
    // Save: validates in order, shows the first failure, or writes the settings and finishes.
    void commit();

    // The largest prefix that still leaves room for identifiers above it.
    static constexpr uint32_t maxPrefix = 4294967295u - 9;

    MenuButton* const language;
    QCheckBox* const discovery;
    QLineEdit* const server;
    QLineEdit* const port;
    QLineEdit* const prefix;
    ActionButton* const generate;
    QLabel* const prefixHelp;
    QCheckBox* const login;
    QCheckBox* const minimized;

private:
    void placeServer();
    void placeIdentity();
    void placeStartup();

    PanelSettings settings_;
};

}  // namespace vornisel
