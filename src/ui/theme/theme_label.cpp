#include "ui/theme/theme_label.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

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

namespace vornisel {

bool ThemeLabel::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip || !toolTip().isEmpty()) return QLabel::event(event);
    const bool cut = QFontMetricsF(font()).horizontalAdvance(text()) > contentsRect().width();
    if (cut) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

}  // namespace vornisel
