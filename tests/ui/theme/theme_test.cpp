#include "ui/theme/theme.h"

#include <gtest/gtest.h>
#include <QPainter>

namespace vornisel {
namespace {

// The bounding box of the pixels that differ from `background`.
QRect paintedBox(const QImage& image, const QColor& background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// Drawn text keeps to one line from the top of its rectangle, cut with an ellipsis when it does
// not fit, and the alignment places it within the rectangle.
TEST(ThemeTest, DrawKeepsOneLineInsideItsRectangle) {
    const auto ink = [](const QString& text, const QRectF& rect, Qt::Alignment align) {
        QImage image(200, 60, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        Theme::draw(painter, text, rect, 13, Theme::text(), false, align);
        painter.end();
        return paintedBox(image, Qt::black);
    };
    const QRect cut = ink("Interface number one with a very long name\nsecond line",
                          QRectF(10, 10, 100, 19), Qt::AlignLeft);
    EXPECT_GE(cut.left(), 10);
    EXPECT_GT(cut.right(), 90);  // the ellipsis ends the line
    EXPECT_LE(cut.right(), 110);
    EXPECT_GE(cut.top(), 10);
    EXPECT_LE(cut.bottom(), 29);
    const QRectF wide(0, 0, 200, 19);
    EXPECT_LT(ink("ab", wide, Qt::AlignLeft).left(), 3);
    EXPECT_GT(ink("ab", wide, Qt::AlignRight).right(), 195);
    EXPECT_NEAR(ink("ab", wide, Qt::AlignHCenter).center().x(), 100, 3);
}

}  // namespace
}  // namespace vornisel
