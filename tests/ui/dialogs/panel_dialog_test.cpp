#include "ui/dialogs/panel_dialog.h"

#include <QCheckBox>
#include <QLineEdit>

#include <functional>

#include "dialog_test_support.h"
#include "ui/dialogs/device_dialog.h"
#include "ui/dialogs/preset_dialog.h"
#include "ui/dialogs/route_matrix.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/theme/menu_button.h"

namespace vornisel {
namespace {

using PanelDialogTest = test::DialogTest;

// Every way out that a person has, and the outcome the completion receives.
TEST_F(PanelDialogTest, EveryWayOutEndsTheSheetOnce) {
    const struct {
        const char* way;
        std::function<void(PresetDialog&)> act;
        bool outcome;
    } rows[] = {
        {"Escape in the field", [](auto& d) { QTest::keyClick(d.name, Qt::Key_Escape); }, false},
        {"close button", [](auto& d) { d.window()->close(); }, false},
        {"Return in the field", [](auto& d) { QTest::keyClick(d.name, Qt::Key_Return); }, true},
        {"Enter on the keypad",
         [](auto& d) { QTest::keyClick(d.name, Qt::Key_Enter, Qt::KeypadModifier); }, true},
        {"Return on the focused Cancel",
         [](auto& d) {
             d.cancel->setFocus(Qt::TabFocusReason);
             QTest::keyClick(d.cancel, Qt::Key_Return);
         },
         false},
    };
    for (const auto& row : rows) {
        PresetDialog dialog(QStringLiteral("Studio"));
        present(dialog);
        EXPECT_EQ(dialog.window()->windowModality(), Qt::WindowModal) << row.way;
        EXPECT_EQ(dialog.window()->parentWidget(), parent.get()) << row.way;
        row.act(dialog);
        // The completion never runs inside the event that ended the sheet.
        EXPECT_EQ(completions, 0) << row.way;
        EXPECT_FALSE(dialog.window()->isVisible()) << row.way;
        ASSERT_TRUE(waitForCompletion()) << row.way;
        EXPECT_EQ(completions, 1) << row.way;
        EXPECT_EQ(lastOutcome, row.outcome) << row.way;
        EXPECT_EQ(dialog.accepted(), row.outcome) << row.way;
    }
}

// A name of white space only keeps the sheet open with the error. The first way out decides: a
// Save after Cancel changes nothing.
TEST_F(PanelDialogTest, FailedSaveKeepsTheSheetAndTheFirstFinishDecides) {
    PresetDialog dialog(QStringLiteral("Studio"));
    present(dialog);
    typeInto(dialog.name, QStringLiteral("   "));
    click(dialog.save);
    EXPECT_EQ(dialog.error->text(), text("save_preset.enter_name"));
    QCoreApplication::processEvents();
    EXPECT_EQ(completions, 0);
    click(dialog.cancel);
    dialog.finish(true);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(lastOutcome);
    EXPECT_FALSE(dialog.accepted());
}

// A dialog released while shown, or after Save but before its completion ran, reports false
// once.
TEST_F(PanelDialogTest, ReleasedDialogsReportFalseOnce) {
    for (bool saved : {false, true}) {
        auto dialog = std::make_unique<PresetDialog>(QStringLiteral("Studio"));
        present(*dialog);
        if (saved) click(dialog->save);
        dialog.reset();
        ASSERT_TRUE(waitForCompletion()) << saved;
        EXPECT_EQ(completions, 1) << saved;
        EXPECT_FALSE(lastOutcome) << saved;
    }
}

// Where the focus is when each dialog opens, and where Tab takes it from there, round to the
// start: hidden and disabled fields are passed over, and on a screen lower than the dialog each
// focused field is scrolled into view.
TEST_F(PanelDialogTest, FocusOpensOnTheFirstFieldAndTabWalksTheFields) {
    const auto walk = [this](PanelDialog& dialog, std::vector<QWidget*> order) {
        order.insert(order.end(), {dialog.cancel, dialog.save, order.front()});
        present(dialog);
        dialog.window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.window()));
        std::vector<QWidget*> walked = {QApplication::focusWidget()};
        while (walked.size() < order.size()) {
            QTest::keyClick(walked.back(), Qt::Key_Tab);
            walked.push_back(QApplication::focusWidget());
            EXPECT_FALSE(walked.back()->visibleRegion().isEmpty()) << walked.size();
        }
        EXPECT_EQ(walked, order) << dialog.window()->windowTitle().toStdString();
        dialog.finish(false);
    };
    const std::vector<Device> hardware = {{"hw:CARD=Desk,DEV=0", "Desk Interface", 2, 8}};
    // Each dialog is gone before the next opens, as the owner releases them.
    {
        PanelSettings manual;
        manual.discovery = false;
        SettingsDialog d(manual);
        walk(d, {d.language, d.discovery, d.server, d.port, d.prefix, d.generate, d.login,
                 d.minimized});
    }
    {
        DeviceDialog d(hardware, Profile{}, false);  // the custom latency is hidden
        walk(d, {d.deviceBox, d.modeBox, d.inputTab, d.outputTab, d.inputs, d.reset});
    }
    {
        Profile custom;
        custom.latencyMode = "Custom";
        DeviceDialog d(hardware, custom, true);  // the hardware chooser is disabled
        walk(d, {d.modeBox, d.custom, d.up, d.down, d.inputTab, d.outputTab, d.outputs, d.reset});
    }
    PresetDialog d(QStringLiteral("Studio"));
    walk(d, {d.name});
}

}  // namespace
}  // namespace vornisel
