#pragma once

#include "ui/dialogs/panel_dialog.h"

class QLineEdit;

namespace vornisel {

// Asks for the name under which the current devices are saved as a preset. Save refuses a name
// that is empty after trimming; the owner reads name's text once the completion reports true.
class PresetDialog : public PanelDialog {
public:
    // `proposed` is the name filled in at first.
    explicit PresetDialog(const QString& proposed);

    // Save: finishes when the trimmed name is not empty, else shows why not.
    void commit();

    QLineEdit* const name;
};

}  // namespace vornisel
