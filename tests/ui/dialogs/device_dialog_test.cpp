#include "ui/dialogs/device_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>

#include "dialog_test_support.h"
#include "ui/dialogs/route_matrix.h"
#include "ui/theme/menu_button.h"

namespace vornisel {
namespace {

using Routes = std::map<int, int>;

const std::vector<Device> hardware = {
    {"hw:CARD=Desk,DEV=0", "Desk Interface", 2, 8},
    {"hw:CARD=Big,DEV=0", "Big Console", 64, 40},
    {"hw:CARD=Play,DEV=0", "Playback Only", 0, 2},
};

Profile fresh() {
    Profile profile;
    profile.id = 7;
    profile.latency = "2";
    profile.latencyMode = "Stable";
    return profile;
}

class DeviceDialogTest : public test::DialogTest {
protected:
    static void clickCell(RouteMatrix* matrix, int row, int column) {
        QTest::mouseClick(matrix, Qt::LeftButton, Qt::NoModifier,
                          route_grid::cellRect({row, column}).center().toPoint());
    }
    // Presses Save and returns the error line (empty when the sheet ended).
    QString saveAndRead(DeviceDialog& dialog) {
        click(dialog.save);
        return dialog.window()->isVisible() ? dialog.error->text() : QString();
    }
};

TEST_F(DeviceDialogTest, NewDeviceLayoutAndDefaults) {
    DeviceDialog dialog(hardware, fresh(), false);
    EXPECT_EQ(dialog.window()->size(), QSize(1040, 760));
    EXPECT_EQ(dialog.window()->windowTitle(), text("new_device.title"));
    EXPECT_EQ(dialog.save->title(), text("new_device.add"));
    EXPECT_EQ(dialog.deviceBox->geometry(), QRect(24, 78, 992, 30));
    EXPECT_EQ(dialog.deviceBox->choices(),
              (QStringList{"Desk Interface", "Big Console", "Playback Only"}));
    EXPECT_EQ(dialog.deviceBox->selected(), 0);
    EXPECT_TRUE(dialog.deviceBox->isEnabled());
    EXPECT_EQ(dialog.modeBox->geometry(), QRect(24, 148, 140, 30));
    EXPECT_EQ(dialog.modeBox->choices(), (QStringList{"Low", "Stable", "Safe", "Custom"}));
    EXPECT_EQ(dialog.modeBox->currentText(), "Stable");
    EXPECT_TRUE(dialog.custom->isHidden());
    EXPECT_EQ(dialog.custom->text(), "2");
    EXPECT_EQ(dialog.up->geometry(), QRect(302, 148, 20, 15));
    EXPECT_EQ(dialog.down->geometry(), QRect(302, 163, 20, 15));
    EXPECT_EQ(dialog.scroll->geometry(), QRect(24, 234, 992, 398));
    EXPECT_EQ(dialog.reset->geometry(), QRect(18, 641, 120, 26));
    EXPECT_TRUE(dialog.reset->link());
    EXPECT_EQ(dialog.inputs->hardwareCount(), 2);
    EXPECT_EQ(dialog.outputs->hardwareCount(), 8);
    // The first device has inputs, so a new device starts on the input tab.
    EXPECT_TRUE(dialog.selectedInput());
    EXPECT_EQ(dialog.scroll->widget(), dialog.inputs);
    EXPECT_TRUE(dialog.inputTab->accent());
    EXPECT_FALSE(dialog.outputTab->accent());
}

TEST_F(DeviceDialogTest, ModeSelectionFromTheProfile) {
    struct Row {
        std::optional<std::string> mode;
        bool editing;
        QString expected;
    };
    const Row rows[] = {
        {"Low", true, "Low"},
        {"Safe", false, "Safe"},
        {"Custom", false, "Custom"},
        {"Turbo", true, "Custom"},
        {"stable", false, "Custom"},
        {std::nullopt, true, "Custom"},
        {std::nullopt, false, "Stable"},
    };
    for (const auto& row : rows) {
        Profile profile = fresh();
        profile.latencyMode = row.mode;
        profile.outputMap = "0";
        profile.driverOutputs = "0";
        DeviceDialog dialog(hardware, profile, row.editing);
        EXPECT_EQ(dialog.modeBox->currentText(), row.expected) << row.mode.value_or("none");
        EXPECT_EQ(dialog.custom->isHidden(), row.expected != "Custom");
        EXPECT_EQ(dialog.up->isHidden(), row.expected != "Custom");
        EXPECT_EQ(dialog.customLabel->isHidden(), row.expected != "Custom");
    }
}

TEST_F(DeviceDialogTest, ValidationMessagesInOrder) {
    // No hardware at all: the device check comes first, even with nothing else right.
    {
        DeviceDialog dialog({}, fresh(), false);
        present(dialog);
        typeInto(dialog.custom, "0");
        EXPECT_EQ(saveAndRead(dialog), text("new_device.select_asio"));
    }
    DeviceDialog dialog(hardware, fresh(), false);
    present(dialog);
    dialog.modeBox->choose(DeviceDialog::customMode);
    typeInto(dialog.custom, "abc");
    EXPECT_EQ(saveAndRead(dialog), text("new_device.assign_route"));
    clickCell(dialog.inputs, 1, 0);
    EXPECT_EQ(saveAndRead(dialog), text("new_device.latency_range"));
    for (const char* bad : {"0", "129", "", "x", "1.5", " 5", "5 ", "-3", "99999999999999999999"}) {
        typeInto(dialog.custom, bad);
        EXPECT_EQ(saveAndRead(dialog), text("new_device.latency_range")) << bad;
    }
    // Nothing reached the profile while the checks failed.
    EXPECT_EQ(dialog.profile(), fresh());
    EXPECT_EQ(completions, 0);
}

TEST_F(DeviceDialogTest, AcceptedLatencyIsStoredAsPlainDecimal) {
    struct Row {
        QString typed;
        std::string stored;
    };
    const Row rows[] = {{"1", "1"}, {"128", "128"}, {"+7", "7"}, {"007", "7"}, {"+0128", "128"}};
    for (const auto& row : rows) {
        completions = 0;
        DeviceDialog dialog(hardware, fresh(), false);
        present(dialog);
        dialog.modeBox->choose(DeviceDialog::customMode);
        clickCell(dialog.inputs, 0, 3);
        typeInto(dialog.custom, row.typed);
        QTest::keyClick(dialog.custom, Qt::Key_Return);
        ASSERT_TRUE(waitForCompletion()) << row.typed.toStdString();
        EXPECT_TRUE(lastOutcome);
        EXPECT_EQ(dialog.profile().latency, row.stored);
        EXPECT_EQ(dialog.profile().latencyMode, "Custom");
    }
}

TEST_F(DeviceDialogTest, HiddenCustomValueIsStillValidated) {
    Profile profile = fresh();
    profile.latency = "500";
    DeviceDialog dialog(hardware, profile, false);
    present(dialog);
    ASSERT_TRUE(dialog.custom->isHidden());
    clickCell(dialog.inputs, 0, 0);
    EXPECT_EQ(saveAndRead(dialog), text("new_device.latency_range"));
    dialog.modeBox->choose(DeviceDialog::customMode);
    typeInto(dialog.custom, "64");
    dialog.modeBox->choose(0);
    EXPECT_TRUE(dialog.custom->isHidden());
    click(dialog.save);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(dialog.profile().latencyMode, "Low");
    EXPECT_EQ(dialog.profile().latency, "64");
}

TEST_F(DeviceDialogTest, SteppersStopAtTheBounds) {
    struct Row {
        QString start;
        bool up;
        int clicks;
        QString expected;
    };
    const Row rows[] = {
        {"126", true, 5, "128"},
        {"3", false, 5, "1"},
        {"abc", true, 1, "2"},
        {"abc", false, 1, "1"},
        {"", true, 1, "2"},
        {"500", true, 1, "128"},
        {"-40", false, 1, "1"},
        {"-40", true, 1, "-39"},
        {"99999999999999999999", true, 1, "2"},
        {"9223372036854775807", false, 1, "9223372036854775806"},
    };
    for (const auto& row : rows) {
        Profile profile = fresh();
        profile.latencyMode = "Custom";
        DeviceDialog dialog(hardware, profile, false);
        present(dialog);
        typeInto(dialog.custom, row.start);
        for (int i = 0; i < row.clicks; ++i)
            click(row.up ? dialog.up : dialog.down);
        EXPECT_EQ(dialog.custom->text(), row.expected) << row.start.toStdString();
        EXPECT_EQ(dialog.modeBox->currentText(), "Custom");
    }
}

TEST_F(DeviceDialogTest, EditingKeepsTheHardwareAndTheName) {
    Profile profile = fresh();
    profile.name = "Vocals";
    profile.device = "hw:CARD=Play,DEV=0";
    profile.outputMap = "1";
    profile.driverOutputs = "0";
    DeviceDialog dialog(hardware, profile, true);
    EXPECT_EQ(dialog.window()->windowTitle(), text("new_device.edit_title"));
    EXPECT_EQ(dialog.save->title(), text("dialog.save"));
    EXPECT_EQ(dialog.deviceBox->selected(), 2);
    EXPECT_FALSE(dialog.deviceBox->isEnabled());
    // No input routes: an edited device opens on the output tab.
    EXPECT_FALSE(dialog.selectedInput());
    EXPECT_EQ(dialog.scroll->widget(), dialog.outputs);
    present(dialog);
    click(dialog.deviceBox);  // disabled: no menu, no change
    click(dialog.save);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(dialog.profile().name, "Vocals");
    EXPECT_EQ(dialog.profile().device, "hw:CARD=Play,DEV=0");
    EXPECT_EQ(dialog.profile().id, 7u);

    // An edited device without a name takes the hardware device's.
    profile.name = "";
    DeviceDialog unnamed(hardware, profile, true);
    present(unnamed);
    click(unnamed.save);
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions == 2; }, 5000));
    EXPECT_EQ(unnamed.profile().name, "Playback Only");
}

TEST_F(DeviceDialogTest, NewDeviceTakesTheHardwareName) {
    Profile profile = fresh();
    profile.name = "Old";
    DeviceDialog dialog(hardware, profile, false);
    present(dialog);
    dialog.deviceBox->choose(1);
    clickCell(dialog.inputs, 0, 0);
    click(dialog.save);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(dialog.profile().name, "Big Console");
    EXPECT_EQ(dialog.profile().device, "hw:CARD=Big,DEV=0");
}

TEST_F(DeviceDialogTest, RowsAreCappedAtThirtyTwo) {
    Profile profile = fresh();
    profile.device = "hw:CARD=Big,DEV=0";
    DeviceDialog dialog(hardware, profile, false);
    EXPECT_EQ(dialog.deviceBox->selected(), 1);
    EXPECT_EQ(dialog.inputs->hardwareCount(), 32);
    EXPECT_EQ(dialog.outputs->hardwareCount(), 32);
    dialog.deviceBox->choose(2);
    EXPECT_EQ(dialog.inputs->hardwareCount(), 0);
    EXPECT_EQ(dialog.outputs->hardwareCount(), 2);
}

TEST_F(DeviceDialogTest, RoutesSurviveTheRoundTrip) {
    Profile profile = fresh();
    profile.name = "Mix";
    profile.device = "hw:CARD=Desk,DEV=0";
    profile.inputMap = "1,0";
    profile.driverInputs = "4,5";
    profile.outputMap = "0,1,2";
    profile.driverOutputs = "0,1";
    DeviceDialog dialog(hardware, profile, true);
    EXPECT_TRUE(dialog.selectedInput());
    EXPECT_EQ(dialog.inputs->routes(), (Routes{{0, 5}, {1, 4}}));
    EXPECT_EQ(dialog.outputs->routes(), (Routes{{0, 0}, {1, 1}}));
    present(dialog);
    click(dialog.outputTab);
    EXPECT_EQ(dialog.scroll->widget(), dialog.outputs);
    clickCell(dialog.outputs, 7, 1);  // column 1 moves from row 1 to row 7
    click(dialog.save);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(dialog.profile().inputMap, "0,1");
    EXPECT_EQ(dialog.profile().driverInputs, "5,4");
    EXPECT_EQ(dialog.profile().outputMap, "0,7");
    EXPECT_EQ(dialog.profile().driverOutputs, "0,1");
    EXPECT_EQ(dialog.profile().routes(false), (Routes{{0, 0}, {7, 1}}));

    DeviceDialog again(hardware, dialog.profile(), true);
    EXPECT_EQ(again.inputs->routes(), dialog.profile().routes(true));
    EXPECT_EQ(again.outputs->routes(), dialog.profile().routes(false));
}

TEST_F(DeviceDialogTest, ResetAndDeviceChangeClearRoutes) {
    Profile profile = fresh();
    profile.inputMap = "0";
    profile.driverInputs = "0";
    profile.outputMap = "0";
    profile.driverOutputs = "3";
    DeviceDialog dialog(hardware, profile, false);
    present(dialog);
    click(dialog.reset);  // the input tab is shown: only input routes go
    EXPECT_TRUE(dialog.inputs->routes().empty());
    EXPECT_EQ(dialog.outputs->routes(), (Routes{{0, 3}}));
    clickCell(dialog.inputs, 1, 1);
    dialog.deviceBox->choose(0);  // even the same device again discards all routes
    EXPECT_TRUE(dialog.inputs->routes().empty());
    EXPECT_TRUE(dialog.outputs->routes().empty());
    EXPECT_EQ(saveAndRead(dialog), text("new_device.assign_route"));
}

TEST_F(DeviceDialogTest, NewDeviceWithoutInputsStartsOnOutputs) {
    Profile profile = fresh();
    profile.device = "hw:CARD=Play,DEV=0";
    DeviceDialog dialog(hardware, profile, false);
    EXPECT_FALSE(dialog.selectedInput());
    EXPECT_TRUE(dialog.outputTab->accent());
    DeviceDialog none({}, fresh(), false);
    EXPECT_FALSE(none.selectedInput());
}

TEST_F(DeviceDialogTest, TabReachesTheMatrix) {
    DeviceDialog dialog(hardware, fresh(), false);
    present(dialog);
    dialog.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.window()));
    dialog.inputTab->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // to the output tab
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // to the shown matrix
    ASSERT_EQ(QApplication::focusWidget(), dialog.inputs);
    QTest::keyClick(dialog.inputs, Qt::Key_Right);
    QTest::keyClick(dialog.inputs, Qt::Key_Space);
    EXPECT_EQ(dialog.inputs->routes(), (Routes{{0, 1}}));
    // Return from the matrix saves.
    QTest::keyClick(dialog.inputs, Qt::Key_Return);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_TRUE(lastOutcome);
}

TEST_F(DeviceDialogTest, Renders) {
    Profile profile = fresh();
    profile.name = "Studio";
    profile.device = "hw:CARD=Desk,DEV=0";
    profile.inputMap = "0,1";
    profile.driverInputs = "0,1";
    profile.outputMap = "0,1,4,5";
    profile.driverOutputs = "0,1,2,3";
    profile.latencyMode = "Custom";
    profile.latency = "6";
    DeviceDialog dialog(hardware, profile, true);
    present(dialog);
    dialog.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.window()));
    dialog.inputs->setFocus();
    QTest::keyClick(dialog.inputs, Qt::Key_Down);
    QTest::keyClick(dialog.inputs, Qt::Key_Right);
    QTest::keyClick(dialog.inputs, Qt::Key_Right);
    render(dialog.window(), "device-inputs");
    click(dialog.outputTab);
    QMouseEvent move(QEvent::MouseMove, QPointF(128 + 28 * 6 + 10, 28 + 28 * 2 + 10), QPointF(),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dialog.outputs, &move);
    render(dialog.window(), "device-outputs");
    click(dialog.reset);
    click(dialog.inputTab);
    click(dialog.reset);
    click(dialog.save);
    ASSERT_EQ(dialog.error->text(), text("new_device.assign_route"));
    render(dialog.window(), "device-error");
}

}  // namespace
}  // namespace vornisel
