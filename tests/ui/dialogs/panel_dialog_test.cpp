#include "ui/dialogs/panel_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <functional>

#include "dialog_test_support.h"
#include "ui/dialogs/device_dialog.h"
#include "ui/dialogs/preset_dialog.h"
#include "ui/dialogs/route_matrix.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/panel_view.h"

namespace vornisel {
namespace {

using test::DialogTest;

class PanelDialogTest : public DialogTest {};

TEST_F(PanelDialogTest, FrameFollowsTheContentSize) {
    PresetDialog dialog(QStringLiteral("Studio"));
    EXPECT_EQ(dialog.window()->size(), QSize(420, 190));
    EXPECT_EQ(dialog.window()->windowTitle(), text("save_preset.title"));
    EXPECT_EQ(dialog.root->geometry(), QRect(0, 0, 420, 190));
    EXPECT_EQ(dialog.cancel->geometry(), QRect(420 - 208, 190 - 48, 88, 32));
    EXPECT_EQ(dialog.save->geometry(), QRect(420 - 112, 190 - 48, 88, 32));
    EXPECT_EQ(dialog.error->geometry(), QRect(24, 190 - 84, 420 - 48, 28));
    EXPECT_EQ(dialog.error->text(), QString());
    EXPECT_EQ(dialog.error->palette().color(QPalette::WindowText), QColor(255, 138, 138));
    EXPECT_EQ(dialog.cancel->title(), text("dialog.cancel"));
    EXPECT_EQ(dialog.save->title(), text("dialog.save"));
    EXPECT_EQ(dialog.root->fill(), Theme::background());
    bool separator = false;
    for (auto* panel : dialog.root->findChildren<PanelView*>()) {
        if (panel->geometry() == QRect(0, 190 - 65, 420, 1) && panel->fill() == QColor(53, 60, 69))
            separator = true;
    }
    EXPECT_TRUE(separator);
    EXPECT_FALSE(dialog.accepted());
}

// Every way out that a person has, and the outcome the completion receives.
TEST_F(PanelDialogTest, EveryWayOutEndsTheSheetOnce) {
    struct Row {
        const char* way;
        std::function<void(PresetDialog&)> act;
        bool outcome;
    };
    const Row rows[] = {
        {"Escape in the field", [](PresetDialog& d) { QTest::keyClick(d.name, Qt::Key_Escape); },
         false},
        {"Escape on the window",
         [](PresetDialog& d) { QTest::keyClick(d.window(), Qt::Key_Escape); }, false},
        {"close button", [](PresetDialog& d) { d.window()->close(); }, false},
        {"Cancel clicked", [](PresetDialog& d) { click(d.cancel); }, false},
        {"Return in the field", [](PresetDialog& d) { QTest::keyClick(d.name, Qt::Key_Return); },
         true},
        {"Enter on the keypad",
         [](PresetDialog& d) { QTest::keyClick(d.name, Qt::Key_Enter, Qt::KeypadModifier); }, true},
        {"Save clicked", [](PresetDialog& d) { click(d.save); }, true},
    };
    for (const auto& row : rows) {
        completions = 0;
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
        EXPECT_TRUE(hiddenAtCompletion) << row.way;
    }
}

// Where the focus is when each dialog opens, and where Tab takes it from there, round to the
// start: hidden and disabled fields are passed over.
TEST_F(PanelDialogTest, FocusOpensOnTheFirstFieldAndTabWalksTheFields) {
    struct Opened {
        std::unique_ptr<PanelDialog> dialog;
        std::vector<QWidget*> order;
    };
    const std::vector<Device> hardware = {{"hw:CARD=Desk,DEV=0", "Desk Interface", 2, 8}};
    const std::function<Opened()> rows[] = {
        [] {
            PanelSettings settings;
            settings.discovery = false;
            auto d = std::make_unique<SettingsDialog>(settings);
            std::vector<QWidget*> order = {d->language, d->discovery, d->server, d->port,
                                           d->prefix,   d->generate,  d->login,  d->minimized,
                                           d->cancel,   d->save};
            return Opened{std::move(d), order};
        },
        [&] {  // a new device: the custom latency is hidden
            auto d = std::make_unique<DeviceDialog>(hardware, Profile{}, false);
            std::vector<QWidget*> order = {d->deviceBox, d->modeBox, d->inputTab, d->outputTab,
                                           d->inputs,    d->reset,   d->cancel,   d->save};
            return Opened{std::move(d), order};
        },
        [&] {  // an edited device keeps its hardware: the chooser is disabled
            Profile profile;
            profile.latencyMode = "Custom";
            auto d = std::make_unique<DeviceDialog>(hardware, profile, true);
            std::vector<QWidget*> order = {d->modeBox,  d->custom,    d->up,      d->down,
                                           d->inputTab, d->outputTab, d->outputs, d->reset,
                                           d->cancel,   d->save};
            return Opened{std::move(d), order};
        },
        [] {
            auto d = std::make_unique<PresetDialog>(QStringLiteral("Studio"));
            std::vector<QWidget*> order = {d->name, d->cancel, d->save};
            return Opened{std::move(d), order};
        },
    };
    for (size_t row = 0; row < std::size(rows); ++row) {
        Opened opened = rows[row]();
        present(*opened.dialog);
        opened.dialog->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(opened.dialog->window()));
        std::vector<QWidget*> walked = {QApplication::focusWidget()};
        for (size_t step = 0; step < opened.order.size(); ++step) {
            QTest::keyClick(walked.back(), Qt::Key_Tab);
            walked.push_back(QApplication::focusWidget());
        }
        opened.order.push_back(opened.order.front());
        EXPECT_EQ(walked, opened.order) << "row " << row;
        opened.dialog->finish(false);
    }
}

TEST_F(PanelDialogTest, FailedValidationKeepsTheSheetOpen) {
    PresetDialog dialog(QStringLiteral("Studio"));
    present(dialog);
    typeInto(dialog.name, QStringLiteral("   "));
    QTest::keyClick(dialog.name, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog.window()->isVisible());
    EXPECT_EQ(dialog.error->text(), text("save_preset.enter_name"));
    EXPECT_EQ(completions, 0);
    // Cancel still leaves with false, and later finishes change nothing.
    click(dialog.cancel);
    dialog.finish(true);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(lastOutcome);
    EXPECT_FALSE(dialog.accepted());
}

TEST_F(PanelDialogTest, ReleasedDialogReportsFalse) {
    auto dialog = std::make_unique<PresetDialog>(QStringLiteral("Studio"));
    present(*dialog);
    QPointer<DialogWindow> window = dialog->window();
    dialog.reset();
    EXPECT_TRUE(window.isNull());
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(lastOutcome);
}

TEST_F(PanelDialogTest, ReleasedAfterSaveBeforeTheCompletionReportsFalse) {
    auto dialog = std::make_unique<PresetDialog>(QStringLiteral("Studio"));
    bool outcome = true;
    int runs = 0;
    dialog->present(parent.get(), [&](bool accepted) {
        outcome = accepted;
        ++runs;
    });
    click(dialog->save);
    dialog.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs > 0; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(outcome);
}

TEST_F(PanelDialogTest, CompletionMayReleaseTheDialog) {
    auto dialog = std::make_shared<PresetDialog>(QStringLiteral("Studio"));
    std::shared_ptr<PanelDialog> active = dialog;
    bool outcome = false;
    dialog->present(parent.get(), [&](bool accepted) {
        outcome = accepted;
        active.reset();
    });
    dialog.reset();
    QTest::keyClick(static_cast<PresetDialog*>(active.get())->name, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !active; }, 5000));
    EXPECT_TRUE(outcome);
}

TEST_F(PanelDialogTest, ParentDestroyedFirstLeavesNoDanglingWindow) {
    PresetDialog dialog(QStringLiteral("Studio"));
    present(dialog);
    parent.reset();
    EXPECT_EQ(dialog.window(), nullptr);
    dialog.finish(false);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(completions, 1);
}

}  // namespace
}  // namespace vornisel
