#include "ui/theme/action_button.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEnterEvent>

#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using test::renderWidget;

// Disabled wins over attention, attention over link; a link has no body at all.
TEST(ActionButtonTest, PaintsEachStateInItsColours) {
    const QColor active = ActionButton::activeFill(), off = ActionButton::disabledFill();
    const QColor grey = ActionButton::disabledContent();
    const struct {
        bool enabled, accent, link, attention, hovering;
        std::optional<QColor> fill;  // none: the body is not painted
        QColor outline, content;
    } table[] = {
        {true, false, false, false, false, Theme::control(), Theme::border(), Theme::text()},
        {true, false, false, false, true, active, Theme::border(), Theme::text()},
        {true, true, false, false, false, Theme::accent(), Theme::accent(), Theme::text()},
        {true, true, false, false, true, active, Theme::accent(), Theme::text()},
        {true, false, false, true, false, Theme::control(), Theme::border(), Theme::warning()},
        {true, false, true, true, false, std::nullopt, {}, Theme::warning()},
        {true, false, true, false, true, std::nullopt, {}, Theme::accent()},
        {false, false, false, true, true, off, Theme::border(), grey},
        {false, true, false, false, false, off, Theme::accent(), grey},
        {false, false, true, false, false, std::nullopt, {}, grey},
    };
    for (size_t i = 0; i < std::size(table); ++i) {
        const auto& row = table[i];
        ActionButton button("", Glyph::stop, {});
        button.resize(32, 32);
        button.setEnabled(row.enabled);
        button.setAccent(row.accent);
        button.setLink(row.link);
        button.setAttention(row.attention);
        button.setHovering(row.hovering);
        const QImage image = renderWidget(button);
        if (row.fill) {
            EXPECT_EQ(image.pixelColor(0, 0), row.outline) << "row " << i;
            EXPECT_EQ(image.pixelColor(31, 20), row.outline) << "row " << i;
            EXPECT_EQ(image.pixelColor(2, 2), *row.fill) << "row " << i;
        } else {
            EXPECT_EQ(image.pixelColor(0, 0), test::kUnpainted) << "row " << i;
            EXPECT_EQ(image.pixelColor(16, 16), test::kUnpainted) << "row " << i;
        }
        // The edge of the stop square carries the content colour.
        const QColor behind = row.fill.value_or(test::kUnpainted);
        EXPECT_GT(test::strongestMix(image, QRect(9, 9, 14, 14), behind, row.content), 0.55)
            << "row " << i;
    }
}

TEST(ActionButtonTest, RunsItsHandlerFollowsThePointerAndIsNamed) {
    int runs = 0;
    ActionButton button("", Glyph::add, [&] { ++runs; });
    button.click();
    button.invoke();
    EXPECT_EQ(runs, 2);
    button.setEnabled(false);
    button.invoke();
    button.click();
    EXPECT_EQ(runs, 2);
    ActionButton("Nothing", std::nullopt, {}).click();  // no handler: nothing happens

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.hovering());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.hovering());

    // The accessible name is the title, else the tool tip.
    button.setToolTip("Add device");
    EXPECT_EQ(button.accessibleName(), "Add device");
    button.setTitle("Add");
    button.setToolTip("Other");
    EXPECT_EQ(button.accessibleName(), "Add");
}

}  // namespace
}  // namespace vornisel
