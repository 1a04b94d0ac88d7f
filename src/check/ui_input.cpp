#include "check/ui_input.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollArea>
#include <QWidget>

namespace vornisel {

namespace {

bool sameOrInside(const QWidget* found, const QWidget* widget) {
    for (const QWidget* w = found; w; w = w->parentWidget()) {
        if (w == widget) return true;
    }
    return false;
}

void sendMouse(QWidget* target, QEvent::Type type, QPoint local) {
    const QPointF scene = target->mapTo(target->window(), QPointF(local));
    const QPointF global = target->mapToGlobal(QPointF(local));
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, QPointF(local), scene, global, Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A person scrolls the point they click into view first: each scroll area around it, the
// innermost first, shows it.
void scrollIntoView(QWidget* widget, QPoint local) {
    for (QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(w);
        QWidget* content = area ? area->widget() : nullptr;
        if (!content || (content != widget && !content->isAncestorOf(widget))) continue;
        const QPoint at = widget->mapTo(content, local);
        area->ensureVisible(at.x(), at.y(), 16, 16);
    }
}

}  // namespace

std::string describe(const QWidget* widget) {
    if (!widget) return "(no widget)";
    QString name = widget->accessibleName();
    if (name.isEmpty()) name = widget->toolTip();
    if (name.isEmpty()) name = widget->objectName();
    return "'" + name.toStdString() + "' (" + widget->metaObject()->className() + ")";
}

std::optional<std::string> click(QWidget* widget, std::optional<QPoint> point) {
    if (!widget) return "there is no such control";
    if (!widget->isVisible()) return describe(widget) + " is not visible";
    if (!widget->isEnabled()) return describe(widget) + " is disabled";
    const QPoint local = point.value_or(widget->rect().center());
    scrollIntoView(widget, local);
    QWidget* window = widget->window();
    QWidget* found = window->childAt(widget->mapTo(window, local));
    if (!found) found = window;
    if (!sameOrInside(found, widget)) {
        return describe(widget) + " is covered by " + describe(found) + " at its click point";
    }
    const QPoint there = found->mapFrom(window, widget->mapTo(window, local));
    sendMouse(found, QEvent::MouseButtonPress, there);
    sendMouse(found, QEvent::MouseButtonRelease, there);
    return std::nullopt;
}

std::optional<std::string> typeInto(QLineEdit* field, const QString& text) {
    if (!field) return "there is no such field";
    if (!field->isVisible()) return describe(field) + " is not visible";
    if (!field->isEnabled() || field->isReadOnly()) return describe(field) + " is not editable";
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
        QApplication::sendEvent(field, &release);
    }
    if (field->text() != text) {
        return describe(field) + " reads '" + field->text().toStdString() + "' after typing '" +
               text.toStdString() + "'";
    }
    return std::nullopt;
}

QAction* menuAction(QMenuBar* bar, const QKeySequence& shortcut) {
    if (!bar) return nullptr;
    for (QAction* top : bar->actions()) {
        QMenu* menu = top->menu();
        if (!menu) continue;
        for (QAction* item : menu->actions()) {
            if (item->shortcut() == shortcut) return item;
        }
    }
    return nullptr;
}

}  // namespace vornisel
