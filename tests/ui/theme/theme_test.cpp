#include "ui/theme/theme.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>

#include "ui/theme/pixel_check.h"

namespace vornisel {
namespace {

TEST(ThemeTest, PaletteHasTheFixedColours) {
    const struct {
        const QColor& colour;
        uint32_t hex;
    } table[] = {
        {Theme::background(), 0x1F2227}, {Theme::header(), 0x24282F}, {Theme::card(), 0x2B3038},
        {Theme::control(), 0x303640},    {Theme::border(), 0x46505C}, {Theme::text(), 0xF5F7FA},
        {Theme::secondary(), 0xAEB8C4},  {Theme::accent(), 0x4C9DF8}, {Theme::warning(), 0xD7A83A},
        {Theme::fieldFill(), 0x252A31},
    };
    for (const auto& row : table) {
        EXPECT_EQ(row.colour.rgb() & 0xFFFFFF, row.hex) << std::hex << row.hex;
        EXPECT_EQ(row.colour.alpha(), 255);
    }
}

TEST(ThemeTest, ColorReadsRedGreenBlueAndIgnoresHigherBits) {
    const QColor c = Theme::color(0xFF8A8A);
    EXPECT_DOUBLE_EQ(c.redF(), 1.0);
    EXPECT_NEAR(c.greenF(), 138 / 255.0, 1e-4);
    EXPECT_NEAR(c.blueF(), 138 / 255.0, 1e-4);
    EXPECT_DOUBLE_EQ(c.alphaF(), 1.0);
    EXPECT_EQ(Theme::color(0xAB1F2227), Theme::background());
}

TEST(ThemeTest, FontsArePixelSizedSansSerif) {
    for (bool bold : {false, true}) {
        const QFont font = Theme::font(17, bold);
        EXPECT_EQ(font.pixelSize(), 17);
        EXPECT_EQ(font.bold(), bold);
        const QString family = QFontInfo(font).family();
        EXPECT_TRUE(family.contains("Sans", Qt::CaseInsensitive)) << family.toStdString();
        EXPECT_FALSE(family.contains("Serif") && !family.contains("Sans"));
    }
}

TEST(ThemeTest, DrawCutsLongTextOnOneLineInsideItsRectangle) {
    QImage image(200, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    const QString longText = QString("Interface number one with a very long name\nsecond line");
    Theme::draw(painter, longText, QRectF(10, 10, 100, 19), 13, Theme::text());
    painter.end();
    const QRect box = test::paintedBox(image, Qt::black);
    EXPECT_GE(box.left(), 10);
    EXPECT_LE(box.right(), 110);
    // One line from the top of the rectangle: nothing in the row band of a second line.
    EXPECT_GE(box.top(), 10);
    EXPECT_LE(box.bottom(), 29);
    // The ellipsis ends the line: the last painted pixels are small dots on the baseline.
    EXPECT_GT(box.right(), 90);
}

TEST(ThemeTest, DrawAlignsHorizontally) {
    const auto boxFor = [](Qt::Alignment align) {
        QImage image(200, 30, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        Theme::draw(painter, QString("ab"), QRectF(0, 0, 200, 19), 13, Theme::text(), true, align);
        painter.end();
        return test::paintedBox(image, Qt::black);
    };
    EXPECT_LT(boxFor(Qt::AlignLeft).left(), 3);
    EXPECT_GT(boxFor(Qt::AlignRight).right(), 195);
    const QRect centred = boxFor(Qt::AlignHCenter);
    EXPECT_NEAR(centred.center().x(), 100, 3);
}

TEST(ThemeTest, LabelKeepsItsTextAndPaintsItTruncated) {
    std::unique_ptr<QLabel> label(
        Theme::label(std::string("A label far too long for its frame"), 13, Theme::warning()));
    label->resize(80, 20);
    EXPECT_EQ(label->text(), "A label far too long for its frame");
    EXPECT_EQ(label->font().pixelSize(), 13);
    const QImage image = test::renderWidget(*label);
    EXPECT_GT(test::strongestMix(image, image.rect(), test::kUnpainted, Theme::warning()), 0.9);
    EXPECT_LE(test::paintedBox(image, test::kUnpainted).right(), 79);
}

TEST(ThemeTest, FieldUsesTheFieldColours) {
    std::unique_ptr<QLineEdit> field(Theme::field(std::string("28010")));
    field->resize(120, 24);
    EXPECT_EQ(field->text(), "28010");
    EXPECT_EQ(field->font().pixelSize(), 13);
    field->show();
    const QImage image = test::renderWidget(*field);
    EXPECT_TRUE(test::sameColor(image.pixelColor(100, 12), Theme::fieldFill()));
    EXPECT_TRUE(test::sameColor(image.pixelColor(0, 12), Theme::border()));
}

TEST(ThemeTest, DarkAppearanceUsesFusionAndThemeColours) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    Theme::applyDarkAppearance(*app);
    auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->baseStyle()->name().toLower(), "fusion");
    const QPalette p = QApplication::palette();
    EXPECT_EQ(p.color(QPalette::Window), Theme::background());
    EXPECT_EQ(p.color(QPalette::Base), Theme::fieldFill());
    EXPECT_EQ(p.color(QPalette::Text), Theme::text());
    EXPECT_EQ(p.color(QPalette::Highlight), Theme::accent());
    EXPECT_EQ(QApplication::font().pixelSize(), 13);
}

}  // namespace
}  // namespace vornisel
