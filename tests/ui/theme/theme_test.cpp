#include "ui/theme/theme.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QPainter>

#include "ui/theme/pixel_check.h"

namespace vornisel {
namespace {

// Drawn text keeps to one line from the top of its rectangle, cut with an ellipsis when it does
// not fit, and the alignment places it within the rectangle.
TEST(ThemeTest, DrawKeepsOneLineInsideItsRectangle) {
    const auto ink = [](const QString& text, const QRectF& rect, Qt::Alignment align) {
        QImage image(200, 60, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        Theme::draw(painter, text, rect, 13, Theme::text(), false, align);
        painter.end();
        return test::paintedBox(image, Qt::black);
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

// A label keeps its whole text and paints it cut to its frame, in its own colour.
TEST(ThemeTest, LabelPaintsItsTextCutInItsColour) {
    std::unique_ptr<QLabel> label(
        Theme::label(std::string("A label far too long for its frame"), 13, Theme::warning()));
    label->resize(80, 20);
    EXPECT_EQ(label->text(), "A label far too long for its frame");
    const QImage image = test::renderWidget(*label);
    EXPECT_GT(test::strongestMix(image, image.rect(), test::kUnpainted, Theme::warning()), 0.9);
    EXPECT_LE(test::paintedBox(image, test::kUnpainted).right(), 79);
}

}  // namespace
}  // namespace vornisel
