#pragma once

#include <QPoint>
#include <QString>
#include <optional>
#include <string>

class QAction;
class QKeySequence;
class QLineEdit;
class QMenuBar;
class QWidget;

namespace vornisel {

// Input the built-in UI check gives the widgets, through the events a user's mouse and keyboard
// produce, so that a button covered by another view, hidden or disabled fails as it would for a
// user instead of being called behind the window's back. Each returns why it could not act.

// A left click at `point` in `widget`'s coordinates (its centre when absent), after scrolling
// `widget` into view as a person would. The press and release go to the widget its window finds
// under that point, which must be `widget` or one of its children.
std::optional<std::string> click(QWidget* widget, std::optional<QPoint> point = std::nullopt);

// Selects everything in `field` and types `text` into it, key by key.
std::optional<std::string> typeInto(QLineEdit* field, const QString& text);

// The menu bar's item with this shortcut, in any of its menus, or null.
QAction* menuAction(QMenuBar* bar, const QKeySequence& shortcut);

// "'title' (ClassName)" for messages.
std::string describe(const QWidget* widget);

}  // namespace vornisel
