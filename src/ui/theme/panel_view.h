#pragma once

#include <QAccessible>
#include <QColor>
#include <QWidget>
#include <optional>

namespace vornisel {

// A flat filled rectangle with an optional one-pixel outline: the base of every panel-like view
// (window content, header band, cards, diagnostics). Coordinates grow downward from the top left.
class PanelView : public QWidget {
    Q_OBJECT
public:
    explicit PanelView(QWidget* parent = nullptr);

    const QColor& fill() const { return fill_; }
    void setFill(const QColor& fill);
    const std::optional<QColor>& stroke() const { return stroke_; }
    void setStroke(std::optional<QColor> stroke);

    // What assistive tools take the panel for (a card is a group, a notice an alert); a panel
    // without a role is a plain client area.
    QAccessible::Role accessibleRole() const { return role_; }
    void setAccessibleRole(QAccessible::Role role) { role_ = role; }
    // Name and description, set only when they read differently: each change is an event.
    void describe(const QString& name, const QString& description);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Fills and outlines the bounds; subclasses call it first and draw on top.
    void drawPanel(QPainter& painter) const;

private:
    QColor fill_;
    std::optional<QColor> stroke_;
    QAccessible::Role role_ = QAccessible::Client;
};

}  // namespace vornisel
