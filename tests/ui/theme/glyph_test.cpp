#include "ui/theme/glyph.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

namespace vornisel {
namespace {

QImage drawn(Glyph glyph, qreal x, qreal ratio) {
    QImage image(QSize(32, 32) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    QPainter painter(&image);
    drawGlyph(painter, glyph, QRectF(x, 8, 16, 16), QColor(250, 40, 40));
    return image;
}

// Every glyph is stroked in the colour asked for and stays in its box, but for half the line
// width, at every pixel ratio (the cache keeps a copy per ratio) and off the pixel grid, where it
// is stroked where it stands instead of being snapped to a whole pixel.
TEST(GlyphTest, EveryGlyphInksItsBoxInItsColour) {
    for (const qreal ratio : {1.0, 2.0}) {
        for (const Glyph glyph : allGlyphs) {
            for (const qreal x : {8.0, 8.25}) {
                const QImage image = drawn(glyph, x, ratio);
                QRect inked;
                int strong = 0;
                for (int row = 0; row < image.height(); ++row) {
                    for (int column = 0; column < image.width(); ++column) {
                        const QRgb pixel = image.pixel(column, row);
                        if (qRed(pixel) > 0) inked |= QRect(column, row, 1, 1);
                        strong += qRed(pixel) > 200 && qGreen(pixel) < 60;
                    }
                }
                SCOPED_TRACE(testing::Message()
                             << static_cast<int>(glyph) << " at " << x << "x" << ratio);
                EXPECT_GT(strong, 0);
                EXPECT_TRUE(QRectF(QRectF(x - 1, 7, 18, 18).toAlignedRect())
                                .contains(QRectF(QPointF(inked.topLeft()) / ratio,
                                                 QSizeF(inked.size()) / ratio)));
            }
            EXPECT_NE(drawn(glyph, 8.25, ratio), drawn(glyph, 8, ratio));
        }
    }
}

}  // namespace
}  // namespace vornisel
