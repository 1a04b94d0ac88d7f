#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>

#include "l10n/localizer.h"
#include "support/temp_dir.h"
#include "ui/dialogs/panel_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/theme.h"

namespace vornisel::test {

// A main window for the sheets, the panel's dark look and the English texts, shared by the
// widget tests of the dialogs.
class DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Theme::applyDarkAppearance(*qApp);
        Localizer::shared().load("en", sourceDir() / "resources");
    }

    void SetUp() override {
        parent = std::make_unique<QWidget>();
        parent->resize(1100, 800);
        parent->show();
    }

    // Dialogs released while shown post their completion; it must run while the fixture lives.
    void TearDown() override { QCoreApplication::processEvents(); }

    // Presents `dialog` and records each run of its completion.
    void present(PanelDialog& dialog) {
        completions = 0;
        dialog.present(parent.get(), [this](bool outcome) {
            ++completions;
            lastOutcome = outcome;
        });
        ASSERT_TRUE(dialog.window()->isVisible());
    }

    // Waits for the completion, then lets the event loop run on to catch a second call.
    bool waitForCompletion() {
        const bool done = QTest::qWaitFor([this] { return completions > 0; }, 5000);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return done;
    }

    // Replaces a field's text the way a person does: select all, delete, type.
    static void typeInto(QLineEdit* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
        ASSERT_EQ(field->text(), text);
    }

    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

    static QString text(const std::string& key) { return qtext(tr(key)); }

    std::unique_ptr<QWidget> parent;
    int completions = 0;
    bool lastOutcome = false;
};

}  // namespace vornisel::test
