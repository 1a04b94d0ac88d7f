#include "ui/theme/glyph.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

namespace vornisel {
namespace {

// Every glyph is stroked in the colour asked for and stays in its box, but for half the line
// width, at every pixel ratio (the cache keeps a copy per ratio).
TEST(GlyphTest, EveryGlyphInksItsBoxInItsColour) {
    for (const qreal ratio : {1.0, 2.0}) {
        for (const Glyph glyph : allGlyphs) {
            QImage image(QSize(32, 32) * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::black);
            QPainter painter(&image);
            drawGlyph(painter, glyph, QRectF(8, 8, 16, 16), QColor(250, 40, 40));
            painter.end();
            QRect inked;
            int strong = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    if (qRed(pixel) > 0) inked |= QRect(x, y, 1, 1);
                    strong += qRed(pixel) > 200 && qGreen(pixel) < 60;
                }
            }
            SCOPED_TRACE(static_cast<int>(glyph));
            EXPECT_GT(strong, 0);
            EXPECT_TRUE(QRectF(7, 7, 18, 18)
                            .contains(QRectF(QPointF(inked.topLeft()) / ratio,
                                             QSizeF(inked.size()) / ratio)))
                << ratio;
        }
    }
}

}  // namespace
}  // namespace vornisel
