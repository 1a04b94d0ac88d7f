#include "ui/theme/action_button.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vornisel
