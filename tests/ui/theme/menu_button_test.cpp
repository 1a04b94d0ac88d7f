#include "ui/theme/menu_button.h"

#include <gtest/gtest.h>
#include <QMenu>

#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using test::renderWidget;
using test::sameColor;

TEST(MenuButtonTest, ShowsTheSelectedChoiceOrNothing) {
    MenuButton button;
    button.setChoices(std::vector<std::string>{"Default", "Studio"});
    const struct {
        int selected;
        QString text;
    } table[] = {{0, "Default"}, {1, "Studio"}, {2, ""}, {-1, ""}};
    for (const auto& row : table) {
        button.setSelected(row.selected);
        EXPECT_EQ(button.currentText(), row.text) << row.selected;
    }
}

TEST(MenuButtonTest, MenuListsChoicesAndChecksOnlyTheSelectedOne) {
    MenuButton button;
    button.setChoices(QStringList{"A", "B", "C"});
    button.setSelected(1);
    auto menu = button.buildMenu();
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(actions[i]->text(), QString(QChar('A' + i)));
        EXPECT_EQ(actions[i]->isChecked(), i == 1);
    }
    button.setSelected(7);
    const auto outOfRange = button.buildMenu();
    for (QAction* action : outOfRange->actions())
        EXPECT_FALSE(action->isChecked());
    button.setChoices(QStringList{});
    EXPECT_TRUE(button.buildMenu()->actions().isEmpty());
}

TEST(MenuButtonTest, ChoosingSelectsFirstThenReportsEvenTheSameChoice) {
    MenuButton button;
    button.setChoices(QStringList{"A", "B", "C"});
    std::vector<std::pair<int, int>> calls;  // reported index, selected at that moment
    button.setChanged([&](int index) { calls.emplace_back(index, button.selected()); });
    button.setSelected(2);
    EXPECT_TRUE(calls.empty());
    auto menu = button.buildMenu();
    menu->actions()[0]->trigger();
    button.choose(0);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}}));
    EXPECT_EQ(button.selected(), 0);
}

TEST(MenuButtonTest, PaintsFieldFillOutlineTextAndChevron) {
    MenuButton button;
    button.setChoices(QStringList{"Default"});
    button.resize(176, 32);
    EXPECT_EQ(MenuButton::textRect(QSizeF(176, 32)), QRectF(8, 7.5, 140, 19));
    EXPECT_EQ(MenuButton::chevronRect(QSizeF(176, 32)), QRectF(150, 8, 16, 16));
    for (bool enabled : {true, false}) {
        button.setEnabled(enabled);
        const QImage image = renderWidget(button);
        const QColor fill = enabled ? Theme::fieldFill() : QColor(26, 29, 34);
        EXPECT_TRUE(sameColor(image.pixelColor(0, 0), Theme::border()));
        EXPECT_TRUE(sameColor(image.pixelColor(170, 3), fill));
        EXPECT_GT(test::strongestMix(image, QRect(8, 8, 60, 18), fill,
                                     enabled ? Theme::text() : Theme::secondary()),
                  0.9);
        // Chevron ink inside its 16-point box, in the secondary colour.
        EXPECT_GT(test::strongestMix(image, QRect(150, 8, 16, 16), fill, Theme::secondary()), 0.5);
    }
}

}  // namespace
}  // namespace vornisel
