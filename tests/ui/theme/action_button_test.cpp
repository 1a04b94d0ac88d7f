#include "ui/theme/action_button.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QEnterEvent>

#include "ui/theme/theme.h"

namespace vornisel {
namespace {

TEST(ActionButtonTest, RunsItsHandlerAndIsNamed) {
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

    // The accessible name is the title, before the tool tip.
    button.setTitle("Add");
    button.setToolTip("Other");
    EXPECT_EQ(button.accessibleName(), "Add");
}

// The pointer over a button lights it up, and leaving puts it back.
TEST(ActionButtonTest, LightsUpUnderThePointer) {
    ActionButton button("Add", std::nullopt, {});
    button.resize(80, 32);
    const QImage plain = button.grab().toImage();
    QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
    QApplication::sendEvent(&button, &enter);
    EXPECT_NE(button.grab().toImage(), plain);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.grab().toImage(), plain);
}

}  // namespace
}  // namespace vornisel
