#pragma once

#include <QString>
#include <functional>

class QMenuBar;
class QWidget;

namespace vornisel {

// The main menu's application items; the "Edit" menu beside them is fixed English and acts on
// whichever text field has the keyboard focus.
struct MainMenuItems {
    QString title;  // the application menu's own title
    QString show, settings, exit;
    std::function<void()> onShow, onSettings, onExit;
};

// Replaces everything in `bar` with the application menu and the "Edit" menu.
void buildMainMenu(QMenuBar& bar, const MainMenuItems& items);

// What the "Edit" items do to a text widget: "cut", "copy", "paste" or "selectAll". Returns
// false when `widget` is no text field.
bool editFocusedText(QWidget* widget, const QString& command);

}  // namespace vornisel
