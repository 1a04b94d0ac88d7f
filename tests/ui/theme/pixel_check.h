#pragma once

#include <gtest/gtest.h>
#include <QColor>
#include <QImage>
#include <QWidget>
#include <cmath>

// Colours in failure messages as #rrggbb.
inline void PrintTo(const QColor& color, std::ostream* os) {
    *os << color.name().toStdString();
}

namespace vornisel::test {

// What shows where nothing was painted.
inline const QColor kUnpainted(255, 0, 255);

// Renders `widget` and its children into an image the way the screen would show them, at the
// given device pixel ratio; pixels no one paints stay magenta.
inline QImage renderWidget(QWidget& widget, qreal ratio = 1.0) {
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(kUnpainted);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// How far `pixel` lies along the way from `from` to `to` (0 = from, 1 = to), or -1 when it is
// not a mix of the two: antialiased strokes blend the content colour into the background.
inline double mixOf(const QColor& pixel, const QColor& from, const QColor& to) {
    const int p[3] = {pixel.red(), pixel.green(), pixel.blue()};
    const int f[3] = {from.red(), from.green(), from.blue()};
    const int t[3] = {to.red(), to.green(), to.blue()};
    double num = 0, den = 0;
    for (int i = 0; i < 3; ++i) {
        num += double(p[i] - f[i]) * (t[i] - f[i]);
        den += double(t[i] - f[i]) * (t[i] - f[i]);
    }
    if (den == 0) return -1;
    const double k = num / den;
    for (int i = 0; i < 3; ++i) {
        if (std::abs(f[i] + k * (t[i] - f[i]) - p[i]) > 3) return -1;
    }
    return k;
}

// The strongest mix of `to` over `from` found inside `area` (device pixels).
inline double strongestMix(const QImage& image, const QRect& area, const QColor& from,
                           const QColor& to) {
    double best = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, mixOf(image.pixelColor(x, y), from, to));
    }
    return best;
}

// The bounding box of the pixels that differ from `background`.
inline QRect paintedBox(const QImage& image, const QColor& background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

}  // namespace vornisel::test
