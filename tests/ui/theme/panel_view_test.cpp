#include "ui/theme/panel_view.h"

#include <gtest/gtest.h>

#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using test::renderWidget;
using test::sameColor;

TEST(PanelViewTest, FillsWithBackgroundByDefault) {
    PanelView view;
    view.resize(40, 30);
    EXPECT_EQ(view.fill(), Theme::background());
    EXPECT_FALSE(view.stroke().has_value());
    const QImage image = renderWidget(view);
    for (QPoint p : {QPoint(0, 0), QPoint(39, 29), QPoint(20, 15)}) {
        EXPECT_TRUE(sameColor(image.pixelColor(p), Theme::background()));
    }
}

TEST(PanelViewTest, OutlineLiesOnTheInnermostPixelRowAtBothScales) {
    PanelView view;
    view.resize(40, 30);
    view.setFill(Theme::card());
    view.setStroke(QColor(60, 68, 79));
    for (qreal ratio : {1.0, 2.0}) {
        const QImage image = renderWidget(view, ratio);
        const int r = int(ratio);
        // A one-point line is one device pixel at 1x and two at 2x, with no blur either side.
        for (int i = 0; i < r; ++i) {
            EXPECT_TRUE(sameColor(image.pixelColor(i, 15 * r), QColor(60, 68, 79))) << ratio;
            EXPECT_TRUE(sameColor(image.pixelColor(40 * r - 1 - i, 15 * r), QColor(60, 68, 79)));
            EXPECT_TRUE(sameColor(image.pixelColor(20 * r, i), QColor(60, 68, 79)));
            EXPECT_TRUE(sameColor(image.pixelColor(20 * r, 30 * r - 1 - i), QColor(60, 68, 79)));
        }
        // Square corners: the corner pixels carry the full outline colour.
        EXPECT_TRUE(sameColor(image.pixelColor(0, 0), QColor(60, 68, 79))) << ratio;
        EXPECT_TRUE(sameColor(image.pixelColor(40 * r - 1, 30 * r - 1), QColor(60, 68, 79)));
        EXPECT_TRUE(sameColor(image.pixelColor(r, 15 * r), Theme::card())) << ratio;
        EXPECT_TRUE(sameColor(image.pixelColor(20 * r, r), Theme::card())) << ratio;
    }
}

}  // namespace
}  // namespace vornisel
