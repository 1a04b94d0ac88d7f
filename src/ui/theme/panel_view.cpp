#include "ui/theme/panel_view.h"

#include <QPainter>

#include "ui/theme/theme.h"

namespace vornisel {

PanelView::PanelView(QWidget* parent) : QWidget(parent), fill_(Theme::background()) {
    // The fill covers every pixel, so Qt need not paint the parent underneath first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelView::setFill(const QColor& fill) {
    fill_ = fill;
    update();
}

void PanelView::setStroke(std::optional<QColor> stroke) {
    stroke_ = stroke;
    update();
}

void PanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawPanel(painter);
}

void PanelView::drawPanel(QPainter& painter) const {
    painter.fillRect(rect(), fill_);
    if (stroke_) Theme::outline(painter, QRectF(rect()), *stroke_);
}

}  // namespace vornisel
