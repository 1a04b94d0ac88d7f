#include "ui/card/meter_bridge.h"

#include <gtest/gtest.h>

#include "ui/card/card_fixture.h"
#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using nlohmann::ordered_json;

const QColor kGreen(50, 205, 50);
const QColor kWell(32, 40, 35);

TEST(MeterBridgeTest, PeakLevelsMapToHeightsAndColours) {
    const struct {
        ordered_json peak;
        double level;
        double height;
        QColor color;
    } table[] = {
        {0, -60, 0, kGreen},
        {1, -60, 0, kGreen},
        {-5, -60, 0, kGreen},
        {126, -17.99, 33.61, kGreen},
        {300, -10.46, 39.64, QColor(Qt::yellow)},
        {900, -0.915, 47.27, QColor(Qt::red)},
        {1000, 0, 48, QColor(Qt::red)},
        {25000, 0, 48, QColor(Qt::red)},
        {"500", -60, 0, kGreen},  // not an integer
        {500.5, -60, 0, kGreen},
        {600.0, -4.437, 44.45, QColor(Qt::yellow)},  // an integral number still counts
    };
    for (const auto& row : table) {
        const ordered_json levels = {test::levelEntry(3, row.peak)};
        const double level = meterLevel(levels, 3);
        EXPECT_NEAR(level, row.level, 0.01) << row.peak.dump();
        EXPECT_NEAR(meterHeight(level), row.height, 0.01) << row.peak.dump();
        EXPECT_EQ(meterColor(level), row.color) << row.peak.dump();
    }
}

TEST(MeterBridgeTest, LevelLookupTakesTheFirstEntryOfTheChannel) {
    const ordered_json levels = {ordered_json{{"driverChannel", 1}},
                                 test::levelEntry(2, 1000),
                                 test::levelEntry(2, 126),
                                 {{"driverChannel", "4"}, {"peakMilli", 1000}}};
    EXPECT_DOUBLE_EQ(meterLevel(levels, 2), 0.0);
    EXPECT_DOUBLE_EQ(meterLevel(levels, 1), -60.0);  // no peak
    EXPECT_DOUBLE_EQ(meterLevel(levels, 4), -60.0);  // channel given as text
    EXPECT_DOUBLE_EQ(meterLevel(levels, 7), -60.0);  // not reported
    EXPECT_DOUBLE_EQ(meterLevel(ordered_json::object(), 2), -60.0);
}

TEST(MeterBridgeTest, NaturalWidthCountsAtLeastOneColumnPerDirection) {
    const struct {
        std::string inputs, outputs;
        int width;
    } table[] = {{"", "", 58}, {"0,1", "0,1", 90}, {"0", "", 58}, {"0, x ,2", "5", 74}};
    for (const auto& row : table) {
        EXPECT_EQ(MeterBridge::naturalWidth(test::cardProfile(row.inputs, row.outputs)), row.width)
            << row.inputs << " / " << row.outputs;
    }
}

TEST(MeterBridgeTest, PictureLaysOutGroupsWellsBarsAndLabels) {
    test::RuntimeGuard guard{test::runningRuntime({{"inputLevels", {test::levelEntry(1, 1000)}},
                                                   {"outputLevels", {test::levelEntry(4, 126)}}})};
    const MeterPicture picture = meterPicture(test::cardProfile("0,1", ""), *guard.runtime);
    // Inputs at x 8 over two columns, then 10 points, then the empty output group at x 50.
    ASSERT_EQ(picture.captions.size(), 2u);
    EXPECT_EQ(picture.captions[0].rect, QRectF(8, 4, 32, 13));
    EXPECT_EQ(picture.captions[1].rect, QRectF(50, 4, 16, 13));
    ASSERT_EQ(picture.dashes.size(), 1u);
    EXPECT_EQ(picture.dashes[0].rect, QRectF(50, 36, 16, 18));
    EXPECT_EQ(picture.dashes[0].text, QString::fromUtf8("\u2014"));
    ASSERT_EQ(picture.columns.size(), 2u);
    EXPECT_EQ(picture.columns[0].well, QRectF(11, 18, 10, 48));
    EXPECT_EQ(picture.columns[0].bar.height(), 0);  // channel 0 not reported
    EXPECT_EQ(picture.columns[1].bar, QRectF(28, 18, 8, 48));
    EXPECT_EQ(picture.columns[1].label.text, "2");
    EXPECT_EQ(picture.columns[1].label.rect, QRectF(24, 69, 16, 13));
}

TEST(MeterBridgeTest, DrawsBarsFromTheWellBottomOnlyWhileRunning) {
    test::RuntimeGuard guard{test::runningRuntime(
        {{"inputLevels", {test::levelEntry(0, 126), test::levelEntry(1, 300)}},
         {"outputLevels", {test::levelEntry(0, 900), test::levelEntry(1, 1000)}}})};
    const Profile profile = test::cardProfile("0,1,2", "0,1");
    MeterBridge bridge(profile, guard.runtime);
    bridge.resize(bridge.naturalWidth(), 84);
    const QImage image = test::renderWidget(bridge);
    // Column x: inputs at 8, 24, 40; outputs at 66, 82. Bars 8 wide from x + 4.
    const auto topOfBar = [&](int x) {
        for (int y = 18; y < 66; ++y) {
            const QColor c = image.pixelColor(x + 8, y);
            if (c != kWell && c != QColor(48, 56, 50)) return y;
        }
        return 66;
    };
    EXPECT_NEAR(66 - topOfBar(8), 33.6, 1.0);
    EXPECT_NEAR(66 - topOfBar(24), 39.6, 1.0);
    EXPECT_EQ(66 - topOfBar(40), 0);  // channel 2 not reported: empty well
    EXPECT_NEAR(66 - topOfBar(66), 47.3, 1.0);
    EXPECT_EQ(66 - topOfBar(82), 48);
    EXPECT_TRUE(test::sameColor(image.pixelColor(16, 60), kGreen));
    EXPECT_TRUE(test::sameColor(image.pixelColor(32, 60), QColor(Qt::yellow)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(74, 60), QColor(Qt::red)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(90, 19), QColor(Qt::red)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(2, 40), QColor(23, 26, 24)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(11, 40), QColor(48, 56, 50)));

    // Once the engine has stopped every well is empty, whatever the last state said.
    test::stopRuntime(*guard.runtime);
    bridge.refresh();
    const QImage stopped = test::renderWidget(bridge);
    EXPECT_TRUE(test::sameColor(stopped.pixelColor(90, 40), kWell));
}

}  // namespace
}  // namespace vornisel
