#include "ui/theme/panel_style.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QPainter>
#include <QStyleOption>
#include <map>

#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using S = QStyle;

// The contrast ratio of two colours by their relative luminance, 1 to 21, as the web's
// accessibility guidelines measure it.
double contrastRatio(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A check box drawn on a dialog's background in each state it can show: the edge of its box stands
// out at 3:1 or more on every side, and keyboard focus shows on it.
TEST(PanelStyleTest, CheckBoxEdgeStandsOutInEveryState) {
    Theme::applyDarkAppearance(*qApp);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), Theme::background());
    QCheckBox box(QStringLiteral("Launch at login"));
    const S::State on = S::State_Enabled;
    const S::State states[] = {
        on | S::State_Off,
        on | S::State_On,
        on | S::State_NoChange,
        on | S::State_Off | S::State_Sunken,
        on | S::State_On | S::State_Sunken,
        on | S::State_Off | S::State_MouseOver,
        on | S::State_Off | S::State_HasFocus | S::State_KeyboardFocusChange,
        S::State_Off,
        S::State_On,
    };
    std::map<int, QColor> edges;
    for (S::State state : states) {
        QStyleOptionButton option;
        option.initFrom(&box);
        option.rect = QRect(8, 8, 160, 24);
        option.text = box.text();
        option.state = state;
        QImage image(176, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Theme::background());
        QPainter painter(&image);
        box.style()->drawControl(S::CE_CheckBox, &option, &painter, &box);
        painter.end();
        const QRect r = box.style()->subElementRect(S::SE_CheckBoxIndicator, &option, &box);
        const QPoint c = r.center();
        edges[int(state)] = image.pixelColor(r.left(), c.y());
        for (QPoint edge : {QPoint(r.left(), c.y()), QPoint(r.right(), c.y()),
                            QPoint(c.x(), r.top()), QPoint(c.x(), r.bottom())}) {
            EXPECT_GE(contrastRatio(image.pixelColor(edge), Theme::background()), 3.0)
                << int(state) << " at " << edge.x() << "," << edge.y();
        }
    }
    const auto focused = S::State_HasFocus | S::State_KeyboardFocusChange;
    EXPECT_NE(edges[int(on | S::State_Off | focused)], edges[int(on | S::State_Off)]);
}

}  // namespace
}  // namespace vornisel
