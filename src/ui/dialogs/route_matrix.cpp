#include "ui/dialogs/route_matrix.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>

#include "l10n/localizer.h"
#include "ui/dialogs/route_matrix_accessible.h"
#include "ui/theme/glyph.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

const QColor& unavailableCaption() {
    static const QColor color = Theme::color(0x6F7782);
    return color;
}
const QColor& unavailableCell() {
    static const QColor color = Theme::color(0x23262C);
    return color;
}
const QColor& hoveredCell() {
    static const QColor color = Theme::color(0x3A424E);
    return color;
}

}  // namespace

RouteMatrix::RouteMatrix(bool input, QWidget* parent) : QWidget(parent), input_(input) {
    setGeometry(0, 0, static_cast<int>(route_grid::width), static_cast<int>(route_grid::height));
    setFixedSize(size());
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A right or middle click opens nothing, not even the dialog's own menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    installRouteMatrixAccessible();
    setAccessibleName(qtext(vornisel::tr(input ? "new_device.inputs" : "new_device.outputs")));
    // Qt hands the "What's This" text to assistive technology as the help text.
    setWhatsThis(qtext(vornisel::tr("new_device.matrix_help")));
    describeFocus();
}

void RouteMatrix::setRoutes(std::map<int, int> routes) {
    routes_ = std::move(routes);
    describeFocus();
    update();
}

void RouteMatrix::setHardwareCount(int count) {
    hardwareCount_ = count;
    describeFocus();
    update();
}

void RouteMatrix::toggle(RouteCell cell) {
    if (route_grid::toggle(routes_, hardwareCount_, cell)) describeFocus();
    update();
}

QString RouteMatrix::rowTitle(int row) const {
    return qtext(vornisel::tr(input_ ? "new_device.input" : "new_device.output")) +
           QLatin1Char(' ') + QString::number(row + 1);
}

QString RouteMatrix::columnTitle(int column) {
    return QStringLiteral("Vornisel ") + QString::number(column + 1);
}

QString RouteMatrix::cellTitle(RouteCell cell) const {
    return rowTitle(cell.row) + QStringLiteral(" \u2192 ") + columnTitle(cell.column);
}

void RouteMatrix::mousePressEvent(QMouseEvent* event) {
    // Only the primary button toggles; the others get the default handling.
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const auto cell = cellAt(event->position());
    if (!cell) return;
    focused_ = *cell;
    toggle(*cell);
}

void RouteMatrix::mouseMoveEvent(QMouseEvent* event) {
    // A drag is not a hover: the hover stays where the press began.
    if (event->buttons() != Qt::NoButton) return;
    hover_ = cellAt(event->position());
    if (hover_) setToolTip(cellTitle(*hover_));
    update();
}

void RouteMatrix::leaveEvent(QEvent*) {
    hover_.reset();
    update();
}

void RouteMatrix::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
            toggle(focused_);
            break;
        case Qt::Key_Left:
            focused_ = route_grid::moved(focused_, 0, -1);
            break;
        case Qt::Key_Right:
            focused_ = route_grid::moved(focused_, 0, 1);
            break;
        case Qt::Key_Down:
            focused_ = route_grid::moved(focused_, 1, 0);
            break;
        case Qt::Key_Up:
            focused_ = route_grid::moved(focused_, -1, 0);
            break;
        default:
            QWidget::keyPressEvent(event);
            break;
    }
    describeFocus();
    update();
    followFocus();
}

void RouteMatrix::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    // Tabbing back in finds the focused cell where it is, scrolled into view.
    followFocus();
    update(route_grid::hitRect(focused_).toAlignedRect());
}

void RouteMatrix::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update(route_grid::hitRect(focused_).toAlignedRect());
}

void RouteMatrix::followFocus() {
    // The matrix sits in a scroll area's viewport; without one there is nothing to scroll.
    auto* viewport = parentWidget();
    auto* area = viewport ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
    if (!area || area->widget() != this) return;
    const QRectF square = route_grid::hitRect(focused_);
    const int half = static_cast<int>(route_grid::pitch / 2);
    area->ensureVisible(static_cast<int>(square.center().x()),
                        static_cast<int>(square.center().y()), half, half);
}

// Assistive technology reads the focused cell and its state from the description; setting it
// sends the description-changed event.
void RouteMatrix::describeFocus() {
    const QString description = cellTitle(focused_) + QStringLiteral(", ") + cellState(focused_);
    if (accessibleDescription() != description) setAccessibleDescription(description);
}

bool RouteMatrix::routed(RouteCell cell) const {
    const auto route = routes_.find(cell.row);
    return route != routes_.end() && route->second == cell.column;
}

QString RouteMatrix::cellState(RouteCell cell) const {
    if (cell.row >= hardwareCount_) return qtext(vornisel::tr("new_device.unavailable"));
    return qtext(vornisel::tr(routed(cell) ? "new_device.routed" : "new_device.not_routed"));
}

void RouteMatrix::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Theme::background());
    drawCaptions(painter);
    drawCells(painter, event->rect());
}

void RouteMatrix::drawCaptions(QPainter& painter) const {
    Theme::draw(painter, QStringLiteral("ALSA \\ Vornisel"), route_grid::cornerCaption(), 11,
                Theme::secondary(), true, Qt::AlignHCenter);
    for (int c = 0; c < route_grid::size; ++c) {
        Theme::draw(painter, QString::number(c + 1), route_grid::columnCaption(c), 11,
                    Theme::secondary(), true, Qt::AlignHCenter);
    }
    for (int r = 0; r < route_grid::size; ++r) {
        const QColor& color = r < hardwareCount_ ? Theme::secondary() : unavailableCaption();
        Theme::draw(painter, rowTitle(r), route_grid::rowCaption(r), 11, color, true,
                    Qt::AlignHCenter);
    }
}

QColor RouteMatrix::cellColor(RouteCell cell) const {
    if (cell.row >= hardwareCount_) return unavailableCell();
    if (routed(cell)) return Theme::accent();
    if (hover_ == cell) return hoveredCell();
    return Theme::control();
}

void RouteMatrix::drawCells(QPainter& painter, const QRect& dirty) const {
    const bool ring = hasFocus();
    for (int r = 0; r < route_grid::size; ++r) {
        for (int c = 0; c < route_grid::size; ++c) {
            const QRectF cell = route_grid::cellRect({r, c});
            if (!cell.intersects(dirty)) continue;
            painter.fillRect(cell, cellColor({r, c}));
            // Cells that can be routed have an edge; a route carries a tick, not colour alone.
            if (r < hardwareCount_) Theme::outline(painter, cell, Theme::border());
            if (routed({r, c})) drawGlyph(painter, Glyph::play, cell, Theme::text());
            if (ring && focused_ == RouteCell{r, c}) {
                Theme::focusFrame(painter, route_grid::focusRect({r, c}));
            }
        }
    }
}

}  // namespace vornisel
