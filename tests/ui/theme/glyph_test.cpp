#include "ui/theme/glyph.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <vector>

#include "ui/theme/pixel_check.h"

namespace vornisel {
namespace {

using test::mixOf;

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
        for (int dx = 0; dx < 2; ++dx) {
            best = std::max(best, mixOf(image.pixelColor(x + dx, y + dy), kPaper, kInk));
        }
    }
    return best > 0.3;
}

// Whether the pixel holding a box point is untouched.
bool blank(const QImage& image, QPointF p) {
    return image.pixelColor(8 + int(std::floor(p.x())), 8 + int(std::floor(p.y()))) == kPaper;
}

struct Shape {
    Glyph glyph;
    std::vector<QPointF> ink;
    std::vector<QPointF> empty;
};

TEST(GlyphTest, StrokesTheOutlineOfEachShapeInItsBox) {
    const std::vector<Shape> table = {
        {Glyph::play, {{4, 8}, {13, 8}, {4, 2}, {8.5, 11}}, {{7, 8}}},
        {Glyph::stop, {{3, 8}, {13, 8}, {8, 3}, {8, 13}}, {{8, 8}}},
        {Glyph::add, {{8, 2.5}, {2.5, 8}, {8, 8}, {13.5, 8}}, {{4, 4}}},
        {Glyph::save, {{2, 8}, {14, 8}, {8, 6}, {8, 10}}, {{8, 8}}},
        {Glyph::settings, {{15, 8}, {8, 15}, {1, 8}, {8, 3}, {8, 6}, {12.9, 12.9}}, {{8, 8}}},
        // The gap of the arc is at the top; the arrow head sits at its clockwise start.
        {Glyph::refresh, {{14, 8}, {8, 14}, {2, 8}, {12, 3.5}, {9.5, 6}}, {{8, 1.5}}},
        {Glyph::edit, {{2, 14}, {11, 2}, {14, 5}, {11.5, 4.5}}, {{8, 8}}},
        {Glyph::info, {{1, 8}, {15, 8}, {8, 10}, {8, 4.5}}, {{4, 8}, {11, 8}}},
        {Glyph::trash, {{8, 4}, {8, 2}, {8.5, 14}, {7, 9.5}, {10, 9.5}}, {{8, 9}}},
        {Glyph::close, {{8, 8}, {3, 3}, {13, 13}, {3, 13}}, {{8, 3}}},
        {Glyph::chevron, {{8, 11}, {5.5, 8.5}, {10.5, 8.5}}, {{8, 6}, {8, 13}}},
        {Glyph::device, {{3, 8}, {14, 10}, {10, 3}, {12, 5}, {6, 1}}, {{8, 8}}},
    };
    for (const Shape& row : table) {
        const QImage image = drawn(row.glyph);
        for (QPointF p : row.ink) {
            EXPECT_TRUE(inked(image, p))
                << "glyph " << int(row.glyph) << " at " << p.x() << "," << p.y();
        }
        for (QPointF p : row.empty) {
            EXPECT_TRUE(blank(image, p))
                << "glyph " << int(row.glyph) << " at " << p.x() << "," << p.y();
        }
        // Nothing leaves the box by more than the half line width (the settings spokes end on
        // its edge).
        const QRect box = test::paintedBox(image, kPaper);
        EXPECT_TRUE(QRect(7, 7, 18, 18).contains(box)) << "glyph " << int(row.glyph);
    }
}

TEST(GlyphTest, KeepsItsSizeAndCentresOnASmallerRectangle) {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(kPaper);
    QPainter painter(&image);
    drawGlyph(painter, Glyph::stop, QRectF(14, 14, 4, 4), kInk);
    painter.end();
    // Box origin (8, 8): the square runs from 11 to 21, overhanging the 4-point rectangle.
    const QRect box = test::paintedBox(image, kPaper);
    EXPECT_EQ(box, QRect(10, 10, 12, 12));
    EXPECT_TRUE(image.pixelColor(16, 16) == kPaper);
}

TEST(GlyphTest, LeavesThePainterAsItFoundIt) {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.translate(3, 4);
    painter.setPen(QPen(Qt::red, 3));
    painter.setBrush(Qt::green);
    const QTransform before = painter.transform();
    drawGlyph(painter, Glyph::settings, QRectF(0, 0, 20, 20), kInk);
    EXPECT_EQ(painter.transform(), before);
    EXPECT_EQ(painter.pen().color(), QColor(Qt::red));
    EXPECT_EQ(painter.pen().widthF(), 3.0);
    EXPECT_EQ(painter.brush().color(), QColor(Qt::green));
}

TEST(GlyphTest, DoublesCrisplyOnATwoTimesDisplay) {
    const QImage image = drawn(Glyph::stop, 2.0);
    // The square's left edge at box x 3 is device column 2 * 11 = 22, 1.2 points = 2.4 pixels
    // wide: the two device columns astride it are fully covered.
    EXPECT_TRUE(test::sameColor(image.pixelColor(21, 32), kInk, 2));
    EXPECT_TRUE(test::sameColor(image.pixelColor(22, 32), kInk, 2));
    EXPECT_TRUE(image.pixelColor(32, 32) == kPaper);
}

// A glyph on whole pixels is copied from a stroke made once; it must match a stroke made in place,
// pen, caps and all, and at a position that cannot be copied it is stroked where it stands.
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
    drawGlyph(painter, Glyph::settings, QRectF(8.5, 8, 16, 16), kInk);
    painter.end();
    EXPECT_EQ(half, stroked(Glyph::settings, 1.0, {8.5, 8}));
}

}  // namespace
}  // namespace vornisel
