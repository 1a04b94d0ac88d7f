#include "ui/theme/glyph.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <vector>

#include "ui/theme/pixel_check.h"

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

// Whether the stroke reaches a point given in box coordinates (any of the 2 x 2 pixels around).
bool inked(const QImage& image, QPointF p) {
    const int x = 8 + static_cast<int>(std::floor(p.x() - 0.5));
    const int y = 8 + static_cast<int>(std::floor(p.y() - 0.5));
    double best = 0;
    for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx)
            best = std::max(best, test::mixOf(image.pixelColor(x + dx, y + dy), kPaper, kInk));
    }
    return best > 0.3;
}

// Where each shape has ink and where it is open, in box coordinates; nothing leaves the box by
// more than half the line width.
TEST(GlyphTest, StrokesTheOutlineOfEachShapeInItsBox) {
    const struct {
        Glyph glyph;
        std::vector<QPointF> ink, empty;
    } table[] = {
        {Glyph::play, {{4, 8}, {13, 8}, {4, 2}, {8.5, 11}}, {{7, 8}}},
        {Glyph::stop, {{3, 8}, {13, 8}, {8, 3}, {8, 13}}, {{8, 8}}},
        {Glyph::add, {{8, 2.5}, {2.5, 8}, {8, 8}, {13.5, 8}}, {{4, 4}}},
        {Glyph::save, {{2, 8}, {14, 8}, {8, 6}, {8, 10}}, {{8, 8}}},
        {Glyph::settings, {{15, 8}, {8, 15}, {1, 8}, {8, 3}, {8, 6}, {12.9, 12.9}}, {{8, 8}}},
        // The gap of the arc is at the top; the arrow head sits at its clockwise start.
        {Glyph::refresh, {{14, 8}, {8, 14}, {2, 8}, {12, 3.5}, {9.5, 6}}, {{8, 1.5}}},
        {Glyph::edit, {{2, 14}, {11, 2}, {14, 5}, {11.5, 4.5}}, {{8, 8}}},
        {Glyph::info, {{1, 8}, {15, 8}, {8, 10}, {8, 4.5}}, {{4, 8}, {11, 8}}},
        {Glyph::trash, {{8, 4}, {8, 2}, {8.5, 14}, {4.5, 9.5}, {7, 9.5}, {10, 9.5}}, {{8, 9}}},
        {Glyph::close, {{8, 8}, {3, 3}, {13, 13}, {3, 13}}, {{8, 3}}},
        {Glyph::chevron, {{8, 11}, {5.5, 8.5}, {10.5, 8.5}}, {{8, 6}, {8, 13}}},
        {Glyph::device, {{3, 8}, {14, 10}, {10, 3}, {12, 5}, {6, 1}}, {{8, 8}}},
    };
    for (const auto& row : table) {
        const QImage image = drawn(row.glyph);
        for (QPointF p : row.ink) {
            EXPECT_TRUE(inked(image, p)) << int(row.glyph) << " at " << p.x() << "," << p.y();
        }
        for (QPointF p : row.empty) {
            EXPECT_EQ(image.pixelColor(8 + int(p.x()), 8 + int(p.y())), kPaper)
                << int(row.glyph) << " at " << p.x() << "," << p.y();
        }
        EXPECT_TRUE(QRect(7, 7, 18, 18).contains(test::paintedBox(image, kPaper)))
            << int(row.glyph);
    }
    // The symmetric shapes are centred on the box both ways.
    for (Glyph glyph :
         {Glyph::stop, Glyph::add, Glyph::save, Glyph::settings, Glyph::info, Glyph::close}) {
        const QRect box = test::paintedBox(drawn(glyph), kPaper);
        EXPECT_EQ(box.left() + box.right(), 31) << int(glyph);
        EXPECT_EQ(box.top() + box.bottom(), 31) << int(glyph);
    }
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
