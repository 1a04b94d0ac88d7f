#include "ui/theme/glyph.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QPen>

namespace vornisel {
namespace {

// A 32 x 32 image, black, at the given device pixel ratio, with `paint` run on it.
template <class Paint>
QImage painted(qreal ratio, Paint paint) {
    QImage image(QSize(32, 32) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    QPainter painter(&image);
    paint(painter);
    return image;
}

// A glyph on whole pixels is copied from a stroke made once; it must match a stroke made in place,
// pen, caps and all, and at a position that cannot be copied it is stroked where it stands.
// Either way the glyph keeps its 16-point size, centred on the rectangle, and the painter is left
// as it was found.
TEST(GlyphTest, CopiedGlyphsMatchAStrokeInPlace) {
    const QColor ink(245, 247, 250);
    for (qreal ratio : {1.0, 2.0}) {
        for (Glyph glyph : allGlyphs) {
            for (qreal x : {8.0, 8.0, 8.5}) {  // twice, so the second comes from the first
                const QImage drawn = painted(ratio, [&](QPainter& painter) {
                    painter.setPen(QPen(Qt::red, 3));
                    drawGlyph(painter, glyph, QRectF(x, 8, 16, 16), ink);
                    EXPECT_EQ(painter.pen(), QPen(Qt::red, 3));
                });
                const QImage stroked = painted(ratio, [&](QPainter& painter) {
                    painter.setRenderHint(QPainter::Antialiasing);
                    painter.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                    painter.translate(x, 8);
                    painter.drawPath(glyphPath(glyph));
                });
                EXPECT_EQ(drawn, stroked) << static_cast<int>(glyph) << " at " << x << "/" << ratio;
            }
        }
    }
}

}  // namespace
}  // namespace vornisel
