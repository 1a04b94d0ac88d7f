#include "app/main_layout.h"

#include <gtest/gtest.h>

namespace vornisel {
namespace {

TEST(MainLayoutTest, NoticeMovesTheListDownAndShrinksIt) {
    struct Row {
        int width, height;
        bool notice;
        QRect devicesHeading, scroll;
    };
    const Row rows[] = {
        {1040, 720, false, {28, 122, 984, 24}, {28, 160, 984, 532}},
        {1040, 720, true, {28, 164, 984, 24}, {28, 202, 984, 490}},
        {800, 450, false, {28, 122, 744, 24}, {28, 160, 744, 262}},
        // A very short content still keeps a 60-point list.
        {800, 200, true, {28, 164, 744, 24}, {28, 202, 744, 60}},
    };
    for (const Row& row : rows) {
        const MainFrames f = mainFrames(row.width, row.height, row.notice);
        EXPECT_EQ(f.devicesHeading, row.devicesHeading) << row.width << "x" << row.height;
        EXPECT_EQ(f.scroll, row.scroll) << row.width << "x" << row.height;
    }
}

TEST(MainLayoutTest, HeaderButtonsHangFromTheRightEdge) {
    const MainFrames f = mainFrames(1000, 700, false);
    EXPECT_EQ(f.header, QRect(0, 0, 1000, 100));
    EXPECT_EQ(f.heading, QRect(28, 20, 560, 36));
    EXPECT_EQ(f.subtitle, QRect(28, 61, 560, 20));
    EXPECT_EQ(f.presets, QRect(600, 34, 176, 32));
    EXPECT_EQ(f.savePreset, QRect(780, 34, 32, 32));
    EXPECT_EQ(f.toggleAll, QRect(832, 34, 32, 32));
    EXPECT_EQ(f.settings, QRect(868, 34, 32, 32));
    EXPECT_EQ(f.refresh, QRect(904, 34, 32, 32));
    EXPECT_EQ(f.add, QRect(940, 34, 32, 32));
    EXPECT_EQ(f.notice, QRect(28, 112, 944, 38));
    EXPECT_EQ(f.noticeText, QRect(12, 10, 888, 22));
    EXPECT_EQ(f.closeNotice, QRect(912, 7, 24, 24));
}

TEST(MainLayoutTest, CardsStackWithGapsAndTheDocumentFillsTheView) {
    struct Row {
        std::vector<int> heights;
        std::vector<int> tops;
        int bodyHeight;
    };
    const Row rows[] = {
        {{}, {}, 400},                          // no cards: exactly the visible height
        {{124}, {0}, 400},                      // short list: still the visible height
        {{124, 308, 124}, {0, 136, 456}, 592},  // the gap after the last card counts
    };
    for (const Row& row : rows) {
        const CardStack stack = stackCards(900, 400, row.heights);
        ASSERT_EQ(stack.cards.size(), row.tops.size());
        for (size_t i = 0; i < row.tops.size(); ++i) {
            EXPECT_EQ(stack.cards[i], QRect(0, row.tops[i], 900, row.heights[i]));
        }
        EXPECT_EQ(stack.bodyHeight, row.bodyHeight);
    }
    EXPECT_EQ(emptyFrame(900), QRect(0, 90, 900, 30));
    EXPECT_EQ(emptyHelpFrame(900), QRect(0, 127, 900, 24));
}

}  // namespace
}  // namespace vornisel
