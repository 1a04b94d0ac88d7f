#include "ui/theme/glyph.h"

#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QTransform>
#include <cmath>
#include <initializer_list>
#include <map>
#include <numbers>
#include <tuple>

namespace vornisel {

namespace {

void line(QPainterPath& path, QPointF a, QPointF b) {
    path.moveTo(a);
    path.lineTo(b);
}

void polygon(QPainterPath& path, std::initializer_list<QPointF> points) {
    auto it = points.begin();
    path.moveTo(*it);
    for (++it; it != points.end(); ++it)
        path.lineTo(*it);
    path.closeSubpath();
}

// An arc around `centre` from `start` to `end` degrees, where angles grow the way they do in the
// y-down box (0 deg to the right, 90 deg below): that is clockwise as seen on screen. Qt measures
// angles the other way round, hence the negated start and sweep.
void arcIncreasing(QPainterPath& path, QPointF centre, qreal radius, qreal start, qreal end) {
    qreal sweep = end - start;
    while (sweep <= 0)
        sweep += 360;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    path.arcMoveTo(box, -start);
    path.arcTo(box, -start, -sweep);
}

void settingsShape(QPainterPath& path) {
    path.addEllipse(QRectF(3, 3, 10, 10));
    path.addEllipse(QRectF(6, 6, 4, 4));
    for (int k = 0; k < 8; ++k) {
        const double a = k * 45.0 * std::numbers::pi / 180.0;
        line(path, {8 + 6 * std::cos(a), 8 + 6 * std::sin(a)},
             {8 + 8 * std::cos(a), 8 + 8 * std::sin(a)});
    }
}

void trashShape(QPainterPath& path) {
    line(path, {2, 4}, {14, 4});
    line(path, {6, 2}, {10, 2});
    line(path, {4, 5}, {5, 14});
    line(path, {5, 14}, {12, 14});
    line(path, {12, 14}, {13, 5});
    line(path, {7, 7}, {7, 12});
    line(path, {10, 7}, {10, 12});
}

}  // namespace

QPainterPath glyphPath(Glyph glyph) {
    QPainterPath path;
    switch (glyph) {
        case Glyph::play:
            polygon(path, {{4, 2}, {13, 8}, {4, 14}});
            break;
        case Glyph::stop:
            path.addRect(QRectF(3, 3, 10, 10));
            break;
        case Glyph::add:
            line(path, {8, 2}, {8, 14});
            line(path, {2, 8}, {14, 8});
            break;
        case Glyph::save:
            path.addRect(QRectF(2, 2, 12, 12));
            path.addRect(QRectF(5, 2, 6, 4));
            path.addRect(QRectF(5, 10, 6, 4));
            break;
        case Glyph::settings:
            settingsShape(path);
            break;
        case Glyph::refresh:
            arcIncreasing(path, {8, 8}, 6, 310, 250);
            line(path, {12, 1}, {12, 6});
            line(path, {12, 6}, {7, 6});
            break;
        case Glyph::edit:
            polygon(path, {{2, 14}, {4, 9}, {11, 2}, {14, 5}, {7, 12}});
            line(path, {10, 3}, {13, 6});
            break;
        case Glyph::info:
            path.addEllipse(QRectF(1, 1, 14, 14));
            line(path, {8, 7}, {8, 12});
            path.addEllipse(QRectF(7.5, 4, 1, 1));
            break;
        case Glyph::trash:
            trashShape(path);
            break;
        case Glyph::close:
            line(path, {3, 3}, {13, 13});
            line(path, {13, 3}, {3, 13});
            break;
        case Glyph::chevron:
            line(path, {3, 6}, {8, 11});
            line(path, {8, 11}, {13, 6});
            break;
        case Glyph::device:
            polygon(path, {{3, 1}, {10, 1}, {14, 5}, {14, 15}, {3, 15}});
            line(path, {10, 1}, {10, 5});
            line(path, {10, 5}, {14, 5});
            break;
    }
    return path;
}

namespace {

constexpr int glyphMargin = 2;

const QPainterPath& outline(Glyph glyph) {
    // Cards repaint every second, so each outline is built once and reused.
    static const auto paths = [] {
        std::array<QPainterPath, allGlyphs.size()> built;
        for (Glyph g : allGlyphs)
            built[static_cast<size_t>(g)] = glyphPath(g);
        return built;
    }();
    return paths[static_cast<size_t>(glyph)];
}

void strokeGlyph(QPainter& painter, Glyph glyph, QPointF origin, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(origin);
    QPen pen(color, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline(glyph));
    painter.restore();
}

// The glyph stroked once into a pixmap per colour and pixel ratio; a stroke is far dearer than a
// copy, and the same few glyphs are drawn on every card at every repaint.
const QPixmap& strokedGlyph(Glyph glyph, const QColor& color, qreal ratio) {
    struct Key {
        Glyph glyph;
        QRgb color;
        qreal ratio;
        bool operator<(const Key& other) const {
            return std::tie(glyph, color, ratio) < std::tie(other.glyph, other.color, other.ratio);
        }
    };
    static std::map<Key, QPixmap> cache;
    const Key key{glyph, color.rgba(), ratio};
    auto found = cache.find(key);
    if (found == cache.end()) {
        // Strokes reach a little past the 16 x 16 box (pen width, round caps).
        QPixmap pixmap(QSize(16 + 2 * glyphMargin, 16 + 2 * glyphMargin) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        strokeGlyph(painter, glyph, QPointF(glyphMargin, glyphMargin), color);
        painter.end();
        found = cache.emplace(key, std::move(pixmap)).first;
    }
    return found->second;
}

}  // namespace

void drawGlyph(QPainter& painter, Glyph glyph, const QRectF& rect, const QColor& color) {
    const QPointF origin(rect.center().x() - 8, rect.center().y() - 8);
    // A copy gives the same pixels as the stroke only where the glyph's box lands on whole device
    // pixels under a plain translation; anywhere else it is stroked where it stands.
    const QTransform& transform = painter.deviceTransform();
    const QPointF device = transform.map(origin);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const bool aligned =
        transform.type() <= QTransform::TxScale && qFuzzyCompare(transform.m11(), ratio) &&
        qFuzzyCompare(transform.m22(), ratio) && device.x() == std::round(device.x()) &&
        device.y() == std::round(device.y()) && painter.opacity() == 1.0 &&
        painter.compositionMode() == QPainter::CompositionMode_SourceOver;
    if (!aligned || ratio > 4) {
        strokeGlyph(painter, glyph, origin, color);
        return;
    }
    painter.drawPixmap(origin - QPointF(glyphMargin, glyphMargin),
                       strokedGlyph(glyph, color, ratio));
}

}  // namespace vornisel
