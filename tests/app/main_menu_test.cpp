#include "app/main_menu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>

namespace vornisel {
namespace {

// The fixed "Edit" items act on the text field that has the focus, and on nothing else.
TEST(MainMenuTest, EditItemsActOnTheFocusedTextField) {
    QLineEdit field(QStringLiteral("device name"));
    QApplication::clipboard()->setText(QString());

    EXPECT_TRUE(editFocusedText(&field, QStringLiteral("selectAll")));
    EXPECT_EQ(field.selectedText(), QStringLiteral("device name"));
    EXPECT_TRUE(editFocusedText(&field, QStringLiteral("copy")));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("device name"));
    EXPECT_TRUE(editFocusedText(&field, QStringLiteral("cut")));
    EXPECT_TRUE(field.text().isEmpty());
    EXPECT_TRUE(editFocusedText(&field, QStringLiteral("paste")));
    EXPECT_EQ(field.text(), QStringLiteral("device name"));

    QPushButton button;
    EXPECT_FALSE(editFocusedText(&button, QStringLiteral("paste")));
    EXPECT_FALSE(editFocusedText(nullptr, QStringLiteral("copy")));
    EXPECT_FALSE(editFocusedText(&field, QStringLiteral("undo")));
}

}  // namespace
}  // namespace vornisel
