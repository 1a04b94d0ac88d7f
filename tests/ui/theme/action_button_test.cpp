#include "ui/theme/action_button.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEnterEvent>

#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using test::renderWidget;
using test::sameColor;

const QColor kDisabledContent(111, 119, 130);
const QColor kActiveFill(58, 66, 78);
const QColor kDisabledFill(26, 29, 34);

struct Look {
    bool enabled, accent, link, attention, hovering;
    std::optional<QColor> fill;  // none: the body is not painted at all
    QColor outline;
    QColor content;
};

TEST(ActionButtonTest, PaintsEachStateInItsColours) {
    const std::vector<Look> table = {
        {true, false, false, false, false, Theme::control(), Theme::border(), Theme::text()},
        {true, false, false, false, true, kActiveFill, Theme::border(), Theme::text()},
        {true, true, false, false, false, Theme::accent(), Theme::accent(), Theme::text()},
        {true, true, false, false, true, kActiveFill, Theme::accent(), Theme::text()},
        {true, false, false, true, false, Theme::control(), Theme::border(), Theme::warning()},
        {true, false, true, true, false, std::nullopt, {}, Theme::warning()},
        {true, false, true, false, true, std::nullopt, {}, Theme::accent()},
        {false, false, false, true, true, kDisabledFill, Theme::border(), kDisabledContent},
        {false, true, false, false, false, kDisabledFill, Theme::accent(), kDisabledContent},
        {false, false, true, false, false, std::nullopt, {}, kDisabledContent},
    };
    for (size_t i = 0; i < table.size(); ++i) {
        const Look& row = table[i];
        ActionButton button("", Glyph::stop, {});
        button.resize(32, 32);
        button.setEnabled(row.enabled);
        button.setAccent(row.accent);
        button.setLink(row.link);
        button.setAttention(row.attention);
        button.setHovering(row.hovering);
        const QImage image = renderWidget(button);
        const QColor behind = row.fill.value_or(test::kUnpainted);
        if (row.fill) {
            EXPECT_TRUE(sameColor(image.pixelColor(0, 0), row.outline)) << "row " << i;
            EXPECT_TRUE(sameColor(image.pixelColor(31, 20), row.outline)) << "row " << i;
            EXPECT_TRUE(sameColor(image.pixelColor(2, 2), *row.fill)) << "row " << i;
        } else {
            EXPECT_EQ(image.pixelColor(0, 0), test::kUnpainted) << "row " << i;
            EXPECT_EQ(image.pixelColor(16, 16), test::kUnpainted) << "row " << i;
        }
        // The stop square's edge at x = 8 + 3 carries the content colour.
        EXPECT_GT(test::strongestMix(image, QRect(9, 9, 14, 14), behind, row.content), 0.55)
            << "row " << i;
    }
}

TEST(ActionButtonTest, TitleIsCentredInItsBandAndGlyphWins) {
    ActionButton titled("Apply 4 blocks", std::nullopt, {});
    titled.resize(200, 25);
    EXPECT_EQ(ActionButton::titleRect(QSizeF(200, 25)), QRectF(6, 4, 188, 19));
    const QImage image = renderWidget(titled);
    const QRect box = test::paintedBox(image.copy(2, 2, 196, 21), Theme::control());
    EXPECT_NEAR(box.center().x() + 2, 100, 3);
    EXPECT_GE(box.top() + 2, 4);

    // With both, only the glyph is drawn: the ink stays inside the 16-point box.
    ActionButton both("Delete", Glyph::close, {});
    both.resize(200, 25);
    const QRect ink = test::paintedBox(renderWidget(both).copy(2, 2, 196, 21), Theme::control());
    EXPECT_TRUE(QRect(90, 2, 20, 21).contains(ink.translated(2, 2)));
    EXPECT_EQ(both.accessibleName(), "Delete");
}

TEST(ActionButtonTest, InvokeRunsTheHandlerOnlyWhenEnabled) {
    int runs = 0;
    ActionButton button("Go", std::nullopt, [&] { ++runs; });
    button.click();
    button.invoke();
    EXPECT_EQ(runs, 2);
    button.setEnabled(false);
    button.invoke();
    button.click();
    EXPECT_EQ(runs, 2);

    ActionButton silent("Nothing", std::nullopt, {});
    silent.invoke();
    silent.click();
    EXPECT_FALSE(silent.hasHandler());
}

TEST(ActionButtonTest, AccessibleNameIsTheTitleElseTheToolTip) {
    ActionButton icon("", Glyph::trash, {});
    EXPECT_TRUE(icon.accessibleName().isEmpty());
    icon.setToolTip("Delete device");
    EXPECT_EQ(icon.accessibleName(), "Delete device");
    icon.setTitle("Remove");
    EXPECT_EQ(icon.accessibleName(), "Remove");
    icon.setToolTip("Other");
    EXPECT_EQ(icon.accessibleName(), "Remove");
}

TEST(ActionButtonTest, HoverFollowsThePointer) {
    ActionButton button("", Glyph::add, {});
    button.resize(32, 32);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.hovering());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.hovering());
}

}  // namespace
}  // namespace vornisel
