#include "ui/theme/menu_button.h"

#include <gtest/gtest.h>
#include <QMenu>

namespace vornisel {
namespace {

// The button shows the selected choice, or nothing out of range; its menu lists the choices and
// checks only the selected one. Choosing selects first, then reports, even the same choice.
TEST(MenuButtonTest, ShowsChecksAndReportsTheSelectedChoice) {
    MenuButton button;
    button.setChoices(std::vector<std::string>{"A", "B", "C"});
    for (int selected : {-1, 0, 2, 3}) {
        button.setSelected(selected);
        const bool inRange = selected >= 0 && selected < 3;
        EXPECT_EQ(button.currentText(), inRange ? QString(QChar('A' + selected)) : QString());
        const auto menu = button.buildMenu();
        ASSERT_EQ(menu->actions().size(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(menu->actions()[i]->text(), QString(QChar('A' + i)));
            EXPECT_EQ(menu->actions()[i]->isChecked(), i == selected) << selected;
        }
    }
    std::vector<std::pair<int, int>> calls;  // reported index, selected at that moment
    button.setChanged([&](int index) { calls.emplace_back(index, button.selected()); });
    button.setSelected(2);
    button.buildMenu()->actions()[0]->trigger();
    button.choose(0);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}}));
}

}  // namespace
}  // namespace vornisel
