#include <gtest/gtest.h>

#include <QIcon>
#include <QScrollBar>
#include <QStyleOptionSlider>

#include "ui/theme/panel_style.h"

namespace vornisel {
namespace {

// A thin bar 200 wide showing `page` of a range of 0..`maximum` + `page`, at `position`.
QStyleOptionSlider thinOption(int maximum, int page, int position) {
    QStyleOptionSlider option;
    option.rect = QRect(0, 0, 200, PanelStyle::thinExtent);
    option.orientation = Qt::Horizontal;
    option.minimum = 0;
    option.maximum = maximum;
    option.pageStep = page;
    option.sliderPosition = position;
    option.sliderValue = position;
    return option;
}

TEST(PanelStyleTest, ThinBarHasNoButtonsAndAHandleSizedByTheVisibleShare) {
    QScrollBar bar(Qt::Horizontal);
    PanelStyle::makeThin(&bar);
    QStyle* style = bar.style();
    EXPECT_EQ(bar.sizeHint().height(), PanelStyle::thinExtent);

    struct Row {
        int maximum, page, position;
        QRect handle;
    };
    const Row rows[] = {
        {100, 100, 0, {0, 0, 100, 6}},      // half the content visible, at the start
        {100, 100, 100, {100, 0, 100, 6}},  // at the end
        {100, 100, 50, {50, 0, 100, 6}},
        {100000, 10, 0, {0, 0, 24, 6}},  // a tiny share still leaves a handle to grab
        {0, 10, 0, {0, 0, 200, 6}},      // nothing to scroll
    };
    for (const Row& row : rows) {
        const QStyleOptionSlider option = thinOption(row.maximum, row.page, row.position);
        EXPECT_EQ(
            style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar),
            row.handle)
            << row.maximum << " " << row.position;
    }
    const QStyleOptionSlider middle = thinOption(100, 100, 50);
    for (auto part : {QStyle::SC_ScrollBarAddLine, QStyle::SC_ScrollBarSubLine}) {
        EXPECT_TRUE(style->subControlRect(QStyle::CC_ScrollBar, &middle, part, &bar).isEmpty());
    }
    // A press either side of the handle pages; on it, it drags.
    EXPECT_EQ(style->hitTestComplexControl(QStyle::CC_ScrollBar, &middle, {10, 3}, &bar),
              QStyle::SC_ScrollBarSubPage);
    EXPECT_EQ(style->hitTestComplexControl(QStyle::CC_ScrollBar, &middle, {100, 3}, &bar),
              QStyle::SC_ScrollBarSlider);
    EXPECT_EQ(style->hitTestComplexControl(QStyle::CC_ScrollBar, &middle, {190, 3}, &bar),
              QStyle::SC_ScrollBarAddPage);
}

TEST(PanelStyleTest, OtherBarsKeepTheBaseLook) {
    PanelStyle style;
    QScrollBar bar(Qt::Horizontal);
    EXPECT_GT(style.pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &bar), PanelStyle::thinExtent);
    const QStyleOptionSlider option = thinOption(100, 100, 50);
    EXPECT_FALSE(
        style.subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddLine, &bar)
            .isEmpty());
}

TEST(PanelStyleTest, MenuOverflowButtonHasADrawnChevron) {
    PanelStyle style;
    const QIcon icon =
        style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, nullptr);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes().value(0), QSize(16, 16));
}

}  // namespace
}  // namespace vornisel
