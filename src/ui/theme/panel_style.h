#pragma once

#include <QProxyStyle>

class QScrollBar;

namespace vornisel {

// The panel's look on top of Fusion. Three things differ:
// - a scroll bar made thin (`makeThin`: the device list's and the meter strips') is a 6-pixel
//   track in its palette's window colour with a rounded handle and no arrow buttons, so a strip
//   that scrolls still shows what is under it, drawn in solid fills;
// - a check box's box has an edge that stands out from the dark panels in every state (Fusion
//   derives it from the window colour, which leaves an unticked box nearly invisible), and a
//   ticked box is filled in the accent colour;
// - the menu bar's overflow button shows the panel's own chevron, drawn, where Fusion would load
//   a picture (and with it every image plugin, to ask which can read it).
class PanelStyle : public QProxyStyle {
public:
    static constexpr int thinExtent = 6;
    static constexpr int thinHandleMinimum = 24;

    PanelStyle();

    static void makeThin(QScrollBar* bar);
    static bool isThin(const QWidget* widget);

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override;
};

}  // namespace vornisel
