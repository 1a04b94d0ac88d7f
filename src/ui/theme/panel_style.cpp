#include "ui/theme/panel_style.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <algorithm>

#include "ui/theme/action_button.h"
#include "ui/theme/glyph.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

constexpr const char* thinProperty = "vorniselThinScroller";

// Where the handle of a thin bar sits: its length follows the visible share of the range.
QRect thinHandle(const QStyleOptionSlider& bar) {
    const QRect track = bar.rect;
    const bool horizontal = bar.orientation == Qt::Horizontal;
    const int span = horizontal ? track.width() : track.height();
    const qint64 range = qint64(bar.maximum) - bar.minimum;
    int length = span;
    if (range > 0) {
        length = int(qint64(span) * bar.pageStep / (range + bar.pageStep));
    }
    length = std::clamp(length, std::min(PanelStyle::thinHandleMinimum, span), span);
    const int offset = QStyle::sliderPositionFromValue(bar.minimum, bar.maximum, bar.sliderPosition,
                                                       span - length, bar.upsideDown);
    return horizontal ? QRect(track.x() + offset, track.y(), length, track.height())
                      : QRect(track.x(), track.y() + offset, track.width(), length);
}

QPixmap chevron(int size, qreal ratio) {
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // The glyph points down; the overflow button's points to the right.
    painter.translate(size / 2.0, size / 2.0);
    painter.rotate(-90);
    painter.translate(-size / 2.0, -size / 2.0);
    drawGlyph(painter, Glyph::chevron, QRectF(0, 0, size, size), Theme::text());
    return pixmap;
}

// A check box's box: a one-pixel edge, a fill, and a tick or (partly ticked) a dash. The edge is
// the secondary text colour, the accent when ticked, the focus ring's when keyboard-focused, and
// the disabled content colour when disabled: each stands out from the panels at 3:1 or more.
void drawCheckBox(const QStyleOption& option, QPainter& painter) {
    const QStyle::State state = option.state;
    const bool enabled = state & QStyle::State_Enabled;
    const bool ticked = state & (QStyle::State_On | QStyle::State_NoChange);
    // Any focus shows, however it came: the box's edge is its only focus mark.
    const bool focused = state & QStyle::State_HasFocus;
    QColor edge = focused ? Theme::focusRing() : ticked ? Theme::accent() : Theme::secondary();
    QColor fill = ticked ? Theme::accent() : Theme::fieldFill();
    QColor mark = Theme::text();
    if (state & QStyle::State_Sunken) fill = ActionButton::activeFill();
    if (!enabled) {
        edge = mark = ActionButton::disabledContent();
        fill = ActionButton::disabledFill();
    }
    const QRectF box = option.rect;
    painter.save();
    painter.fillRect(box.adjusted(1, 1, -1, -1), fill);
    Theme::outline(painter, box, edge);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal h = box.height();
    painter.setPen(
        QPen(mark, std::max<qreal>(1.5, 0.14 * h), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    if (state & QStyle::State_NoChange) {
        painter.drawLine(box.topLeft() + QPointF(0.28 * h, 0.5 * h),
                         box.topLeft() + QPointF(0.72 * h, 0.5 * h));
    } else if (state & QStyle::State_On) {
        QPainterPath tick(box.topLeft() + QPointF(0.26 * h, 0.52 * h));
        tick.lineTo(box.topLeft() + QPointF(0.43 * h, 0.7 * h));
        tick.lineTo(box.topLeft() + QPointF(0.75 * h, 0.3 * h));
        painter.drawPath(tick);
    }
    painter.restore();
}

}  // namespace

PanelStyle::PanelStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void PanelStyle::makeThin(QScrollBar* bar) {
    // The bar takes this style itself, so it is thin whatever the application's style is.
    static PanelStyle* const shared = new PanelStyle;
    bar->setProperty(thinProperty, true);
    bar->setStyle(shared);
}

bool PanelStyle::isThin(const QWidget* widget) {
    return widget && widget->property(thinProperty).toBool();
}

int PanelStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    if (isThin(widget)) {
        if (metric == PM_ScrollBarExtent) return thinExtent;
        if (metric == PM_ScrollBarSliderMin) return thinHandleMinimum;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QRect PanelStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                 SubControl part, const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar || !isThin(widget)) {
        return QProxyStyle::subControlRect(control, option, part, widget);
    }
    const QRect handle = thinHandle(*bar);
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const QRect track = bar->rect;
    switch (part) {
        case SC_ScrollBarSlider:
            return handle;
        case SC_ScrollBarGroove:
            return track;
        case SC_ScrollBarSubPage:
            return horizontal ? QRect(track.topLeft(), QPoint(handle.left() - 1, track.bottom()))
                              : QRect(track.topLeft(), QPoint(track.right(), handle.top() - 1));
        case SC_ScrollBarAddPage:
            return horizontal
                       ? QRect(QPoint(handle.right() + 1, track.top()), track.bottomRight())
                       : QRect(QPoint(track.left(), handle.bottom() + 1), track.bottomRight());
        default:
            return {};  // no arrow buttons, no first and last
    }
}

void PanelStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    if (element == PE_IndicatorCheckBox && option && painter) {
        drawCheckBox(*option, *painter);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void PanelStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                    QPainter* painter, const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar || !isThin(widget)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    painter->save();
    painter->fillRect(bar->rect, bar->palette.color(QPalette::Window));
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(Theme::border());
    const qreal radius = thinExtent / 2.0;
    painter->drawRoundedRect(QRectF(thinHandle(*bar)), radius, radius);
    painter->restore();
}

QIcon PanelStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                               const QWidget* widget) const {
    if (icon == SP_ToolBarHorizontalExtensionButton) {
        QIcon drawn;
        drawn.addPixmap(chevron(16, 1));
        drawn.addPixmap(chevron(16, 2));
        return drawn;
    }
    return QProxyStyle::standardIcon(icon, option, widget);
}

}  // namespace vornisel
