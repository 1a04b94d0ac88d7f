#include "ui/dialogs/preset_dialog.h"

#include <QLabel>
#include <QLineEdit>

#include "ui/theme/action_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel {

PresetDialog::PresetDialog(const QString& proposed)
    : PanelDialog(localized("save_preset.title"), {420, 190}), name(Theme::field(proposed, root)) {
    label(localized("save_preset.name"), 24, 24)->setBuddy(name);
    name->setGeometry(24, 50, 372, 30);
    save->setHandler([this] { commit(); });
    setFieldOrder({name});
}

void PresetDialog::commit() {
    if (name->text().trimmed().isEmpty()) {
        fail(localized("save_preset.enter_name"));
        return;
    }
    finish(true);
}

}  // namespace vornisel
