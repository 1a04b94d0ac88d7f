#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QIcon>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionSlider>

#include "ui/theme/panel_style.h"
#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

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

// A check box drawn on a dialog's background in each state it can show: the edge of its box stands
// out at 3:1 or more on every side.
TEST(PanelStyleTest, CheckBoxEdgeStandsOutInEveryState) {
    Theme::applyDarkAppearance(*qApp);
    QCheckBox box(QStringLiteral("Launch at login"));
    const QStyle::State on = QStyle::State_Enabled;
    const struct {
        const char* name;
        QStyle::State state;
    } rows[] = {
        {"unticked", on | QStyle::State_Off},
        {"ticked", on | QStyle::State_On},
        {"partly ticked", on | QStyle::State_NoChange},
        {"pressed", on | QStyle::State_Off | QStyle::State_Sunken},
        {"pressed ticked", on | QStyle::State_On | QStyle::State_Sunken},
        {"hovered", on | QStyle::State_Off | QStyle::State_MouseOver},
        {"keyboard focus",
         on | QStyle::State_Off | QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange},
        {"disabled", QStyle::State_Off},
        {"disabled ticked", QStyle::State_On},
    };
    for (const auto& row : rows) {
        QStyleOptionButton option;
        option.initFrom(&box);
        option.rect = QRect(8, 8, 160, 24);
        option.text = box.text();
        option.state = row.state;
        QImage image(176, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Theme::background());
        QPainter painter(&image);
        box.style()->drawControl(QStyle::CE_CheckBox, &option, &painter, &box);
        painter.end();
        const QRect r = box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
        const QColor background = image.pixelColor(2, 2);
        const QPoint c = r.center();
        for (QPoint edge : {QPoint(r.left(), c.y()), QPoint(r.right(), c.y()),
                            QPoint(c.x(), r.top()), QPoint(c.x(), r.bottom())}) {
            EXPECT_GE(test::contrastRatio(image.pixelColor(edge), background), 3.0)
                << row.name << " at " << edge.x() << "," << edge.y();
        }
    }
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
