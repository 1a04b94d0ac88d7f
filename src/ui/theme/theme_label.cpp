#include "ui/theme/theme_label.h"

#include <QPainter>

#include "ui/theme/theme.h"

namespace vornisel {

ThemeLabel::ThemeLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    // Label frames are placed by hand; like the drawn texts the line starts at the top edge.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
}

void ThemeLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor color =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole());
    Theme::drawLine(painter, text(), QRectF(contentsRect()), font(), color, alignment());
}

}  // namespace vornisel
