#include "ui/theme/glyph.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QPen>

namespace vornisel {
namespace {

const QColor kInk(245, 247, 250);
const QColor kPaper(0, 0, 0);

// Draws `glyph` into a 32 x 32 image so that its 16 x 16 box starts at (8, 8).
QImage drawn(Glyph glyph, qreal ratio = 1.0) {
    QImage image(QSize(32, 32) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(kPaper);
    QPainter painter(&image);
    drawGlyph(painter, glyph, QRectF(8, 8, 16, 16), kInk);
    return image;
}

// A glyph on whole pixels is copied from a stroke made once; it must match a stroke made in place,
// pen, caps and all, and at a position that cannot be copied it is stroked where it stands.
// Either way the glyph keeps its 16-point size, centred on the rectangle.
TEST(GlyphTest, CopiedGlyphsMatchAStrokeInPlace) {
    auto stroked = [](Glyph glyph, qreal ratio, QPointF origin) {
        QImage image(QSize(32, 32) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(kPaper);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(kInk, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.translate(origin);
        painter.drawPath(glyphPath(glyph));
        return image;
    };
    for (qreal ratio : {1.0, 2.0}) {
        for (Glyph glyph : allGlyphs) {
            // Twice, so the second comes from what the first left behind.
            EXPECT_EQ(drawn(glyph, ratio), stroked(glyph, ratio, {8, 8}));
            EXPECT_EQ(drawn(glyph, ratio), stroked(glyph, ratio, {8, 8}))
                << static_cast<int>(glyph) << " at " << ratio;
        }
    }
    QImage half(32, 32, QImage::Format_ARGB32_Premultiplied);
    half.fill(kPaper);
    QPainter painter(&half);
    painter.setPen(QPen(Qt::red, 3));
    drawGlyph(painter, Glyph::settings, QRectF(8.5, 8, 16, 16), kInk);
    EXPECT_EQ(painter.pen(), QPen(Qt::red, 3));  // the painter is left as it was found
    painter.end();
    EXPECT_EQ(half, stroked(Glyph::settings, 1.0, {8.5, 8}));
}

}  // namespace
}  // namespace vornisel
