#include "ui/dialogs/device_dialog.h"

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

// Device 7 on `device`, two blocks, Stable; with `routed`, output 0 goes to its virtual channel 0.
Profile fresh(const std::string& device = "", bool routed = false) {
    return {.id = 7,
            .device = device,
            .latency = "2",
            .driverOutputs = routed ? "0" : "",
            .outputMap = routed ? "0" : "",
            .latencyMode = "Stable"};
}

void clickCell(RouteMatrix* matrix, int row, int column) {
    QTest::mouseClick(matrix, Qt::LeftButton, Qt::NoModifier,
                      route_grid::cellRect({row, column}).center().toPoint());
}

using DeviceDialogTest = test::DialogTest;

// The chooser selects the profile's hardware (locked while editing) and sizes the matrices from
// it, at most 32 rows. A new device opens on the input tab when its hardware has inputs, an
// edited one when it has input routes. The stored mode is selected when known, else Custom;
// without one a new device proposes Stable and an edited one Custom, whose controls show only
// with it.
TEST_F(DeviceDialogTest, OpensOnTheChosenHardwareAndMode) {
    const struct {
        std::string device;
        bool editing;
        std::optional<std::string> mode;
        int selected, inputs, outputs;
        bool inputTab;
        QString shownMode;
    } rows[] = {
        {"", false, std::nullopt, 0, 2, 8, true, "Stable"},
        {"hw:CARD=Big,DEV=0", false, "stable", 1, 32, 32, true, "Custom"},
        {"hw:CARD=Play,DEV=0", false, "Low", 2, 0, 2, false, "Low"},
        {"hw:CARD=Desk,DEV=0", true, std::nullopt, 0, 2, 8, false, "Custom"},
    };
    for (const auto& row : rows) {
        Profile profile = fresh(row.device);
        profile.latencyMode = row.mode;
        DeviceDialog dialog(hardware, profile, row.editing);
        EXPECT_EQ(dialog.save->title(), text(row.editing ? "dialog.save" : "new_device.add"));
        EXPECT_EQ(dialog.deviceBox->currentText(), qtext(hardware[row.selected].name));
        EXPECT_EQ(dialog.deviceBox->isEnabled(), !row.editing);
        EXPECT_EQ(dialog.inputs->hardwareCount(), row.inputs) << row.device;
        EXPECT_EQ(dialog.outputs->hardwareCount(), row.outputs) << row.device;
        EXPECT_EQ(dialog.selectedInput(), row.inputTab) << row.device;
        EXPECT_EQ(dialog.scroll->widget(), row.inputTab ? dialog.inputs : dialog.outputs);
        EXPECT_EQ(dialog.inputTab->accent(), row.inputTab);
        EXPECT_EQ(dialog.modeBox->currentText(), row.shownMode) << row.device;
        EXPECT_EQ(dialog.custom->isHidden(), row.shownMode != "Custom") << row.device;
    }
    EXPECT_FALSE(DeviceDialog({}, fresh(), false).selectedInput());
}

// Save checks the hardware, then a route, then the latency, 1 to 128 blocks, even while the
// custom value is hidden; nothing reaches the profile until all pass, and then the latency is
// stored as a plain decimal.
TEST_F(DeviceDialogTest, SaveChecksInOrder) {
    const struct {
        bool hardware, routed;
        QString typed;
        std::string error, stored;
    } rows[] = {
        {false, true, "0", "new_device.select_asio", ""},
        {true, false, "0", "new_device.assign_route", ""},
        {true, true, "0", "new_device.latency_range", ""},
        {true, true, "129", "new_device.latency_range", ""},
        {true, true, "x", "new_device.latency_range", ""},
        {true, true, "+0128", "", "128"},
    };
    for (const auto& row : rows) {
        const Profile profile = fresh("", row.routed);
        DeviceDialog dialog(row.hardware ? hardware : std::vector<Device>{}, profile, false);
        dialog.custom->setText(row.typed);
        dialog.commit();
        const bool passed = row.error.empty();
        EXPECT_EQ(dialog.error->text(), passed ? QString() : text(row.error)) << row.error;
        EXPECT_EQ(dialog.accepted(), passed) << row.error;
        EXPECT_EQ(dialog.profile().latency, passed ? row.stored : profile.latency);
        EXPECT_EQ(dialog.profile().device, passed ? hardware[0].uid : "");
    }
}

// The steppers stay within 1 to 128; text that is no number counts as 1, and no typed number
// overflows.
TEST_F(DeviceDialogTest, SteppersStopAtTheBounds) {
    const struct {
        QString start;
        bool up;
        int clicks;
        QString expected;
    } rows[] = {
        {"126", true, 5, "128"},
        {"3", false, 5, "1"},
        {"500", true, 1, "128"},
        {"99999999999999999999", true, 1, "2"},
        {"9223372036854775807", false, 1, "9223372036854775806"},
    };
    Profile profile = fresh();
    profile.latencyMode = "Custom";
    DeviceDialog dialog(hardware, profile, false);
    present(dialog);
    for (const auto& row : rows) {
        typeInto(dialog.custom, row.start);
        for (int i = 0; i < row.clicks; ++i)
            click(row.up ? dialog.up : dialog.down);
        EXPECT_EQ(dialog.custom->text(), row.expected) << row.start.toStdString();
    }
}

// Routes load into both matrices, change there under either tab and are written back, both
// directions apart; Return in a matrix saves.
TEST_F(DeviceDialogTest, RoutesSurviveTheRoundTrip) {
    Profile profile = fresh("hw:CARD=Desk,DEV=0");
    profile.inputMap = "1,0";
    profile.driverInputs = "4,5";
    profile.outputMap = "0,1,2";
    profile.driverOutputs = "0,1";
    DeviceDialog dialog(hardware, profile, true);
    EXPECT_EQ(dialog.inputs->routes(), (Routes{{0, 5}, {1, 4}}));
    EXPECT_EQ(dialog.outputs->routes(), (Routes{{0, 0}, {1, 1}}));
    present(dialog);
    click(dialog.outputTab);
    EXPECT_EQ(dialog.scroll->widget(), dialog.outputs);
    clickCell(dialog.outputs, 7, 1);  // column 1 moves from row 1 to row 7
    click(dialog.inputTab);
    EXPECT_EQ(dialog.scroll->widget(), dialog.inputs);
    QTest::keyClick(dialog.inputs, Qt::Key_Return);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_TRUE(lastOutcome);
    EXPECT_EQ(dialog.profile().inputMap, "0,1");
    EXPECT_EQ(dialog.profile().driverInputs, "5,4");
    EXPECT_EQ(dialog.profile().outputMap, "0,7");
    EXPECT_EQ(dialog.profile().driverOutputs, "0,1");
}

// Reset clears the shown tab's routes only; choosing a device, even the same one, clears all.
TEST_F(DeviceDialogTest, ResetAndDeviceChangeClearRoutes) {
    Profile profile = fresh("", true);
    profile.inputMap = "0";
    profile.driverInputs = "0";
    DeviceDialog dialog(hardware, profile, false);
    present(dialog);
    click(dialog.reset);
    EXPECT_TRUE(dialog.inputs->routes().empty());
    EXPECT_EQ(dialog.outputs->routes(), (Routes{{0, 0}}));
    clickCell(dialog.inputs, 1, 1);
    dialog.deviceBox->choose(0);
    EXPECT_TRUE(dialog.inputs->routes().empty());
    EXPECT_TRUE(dialog.outputs->routes().empty());
}

}  // namespace
}  // namespace vornisel
