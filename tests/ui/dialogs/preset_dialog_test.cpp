#include "ui/dialogs/preset_dialog.h"

#include <QLabel>
#include <QLineEdit>

#include "dialog_test_support.h"

namespace vornisel {
namespace {

class PresetDialogTest : public test::DialogTest {};

TEST_F(PresetDialogTest, NameMustHoldMoreThanWhiteSpace) {
    struct Row {
        QString typed;
        bool accepted;
    };
    const Row rows[] = {{"Live", true}, {"  Live  ", true}, {"", false}, {"    ", false}};
    for (const auto& row : rows) {
        completions = 0;
        PresetDialog dialog(QStringLiteral("Default"));
        EXPECT_EQ(dialog.name->text(), "Default");
        EXPECT_EQ(dialog.name->geometry(), QRect(24, 50, 372, 30));
        present(dialog);
        typeInto(dialog.name, row.typed);
        click(dialog.save);
        if (!row.accepted) {
            EXPECT_TRUE(dialog.window()->isVisible());
            EXPECT_EQ(dialog.error->text(), text("save_preset.enter_name"));
            continue;
        }
        ASSERT_TRUE(waitForCompletion());
        EXPECT_TRUE(lastOutcome);
        // The owner trims; the field keeps what was typed.
        EXPECT_EQ(dialog.name->text(), row.typed);
    }
}

TEST_F(PresetDialogTest, Renders) {
    PresetDialog dialog(QStringLiteral("Default"));
    present(dialog);
    render(dialog.window(), "preset");
    typeInto(dialog.name, " ");
    click(dialog.save);
    render(dialog.window(), "preset-error");
}

}  // namespace
}  // namespace vornisel
