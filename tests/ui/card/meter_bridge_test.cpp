#include "ui/card/meter_bridge.h"

#include "ui/card/card_fixture.h"

namespace vornisel {
namespace {

using nlohmann::ordered_json;

// Peaks in thousandths map to dBFS and a colour: red from -1 dBFS, yellow from -12; what is no
// positive integer is the floor.
TEST(MeterBridgeTest, PeakLevelsMapToLevelsAndColours) {
    const QColor green = meterColor(-60);
    const struct {
        ordered_json peak;
        double level;
        QColor color;
    } table[] = {
        {0, -60, green},
        {-5, -60, green},
        {126, -17.99, green},
        {300, -10.46, Qt::yellow},
        {900, -0.915, Qt::red},
        {1000, 0, Qt::red},
        {"500", -60, green},
        {500.5, -60, green},
        {600.0, -4.437, Qt::yellow},  // an integral number still counts
    };
    for (const auto& row : table) {
        const double level = meterLevel(ordered_json::array({test::levelEntry(3, row.peak)}), 3);
        EXPECT_NEAR(level, row.level, 0.01) << row.peak.dump();
        EXPECT_EQ(meterColor(level), row.color) << row.peak.dump();
    }
    const ordered_json levels = {ordered_json{{"driverChannel", 1}}, test::levelEntry(2, 1000),
                                 test::levelEntry(2, 126), test::levelEntry(4, 1000)};
    EXPECT_EQ(meterLevel(levels, 2), 0.0);    // the first entry of the channel
    EXPECT_EQ(meterLevel(levels, 1), -60.0);  // no peak
    EXPECT_EQ(meterLevel(levels, 7), -60.0);  // not reported
    EXPECT_EQ(meterLevel(ordered_json::object(), 4), -60.0);
}

// Inputs then outputs, each channel's bar rising from the bottom of its well by its level; a
// group with no channels shows a dash. Once the engine has stopped every well is empty.
TEST(MeterBridgeTest, BarsRiseFromTheWellsOnlyWhileRunning) {
    test::RunningRuntime engine({{"inputLevels", {test::levelEntry(1, 1000)}},
                                 {"outputLevels", {test::levelEntry(4, 126)}}});
    MeterBridge bridge(test::cardProfile("0,1", ""), engine.runtime);
    const MeterPicture& picture = bridge.picture();
    ASSERT_EQ(picture.columns.size(), 2u);
    EXPECT_EQ(picture.columns[0].bar.height(), 0);  // channel 0 not reported
    EXPECT_EQ(picture.columns[1].bar, picture.columns[1].well.adjusted(1, 0, -1, 0));
    EXPECT_EQ(picture.columns[1].label.text, "2");
    ASSERT_EQ(picture.dashes.size(), 1u);
    EXPECT_GT(picture.dashes[0].rect.left(), picture.columns[1].well.right());
    engine.stop();
    bridge.refresh();
    EXPECT_EQ(bridge.picture().columns[1].bar.height(), 0);
}

}  // namespace
}  // namespace vornisel
