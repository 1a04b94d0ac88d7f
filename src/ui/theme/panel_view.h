#pragma once

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

protected:
    void paintEvent(QPaintEvent* event) override;
    // Fills and outlines the bounds; subclasses call it first and draw on top.
    void drawPanel(QPainter& painter) const;

private:
    QColor fill_;
    std::optional<QColor> stroke_;
};

}  // namespace vornisel
