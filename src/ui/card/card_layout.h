#pragma once

#include <QRect>

namespace vornisel {

// Where the parts of a device card go for a card `width` and a meter of `meterWidth` (its
// natural width), y growing downward from the card's top edge.
struct CardFrames {
    QRect toggle, edit, info, remove;
    QRect meterScroll;  // the horizontally scrolling strip
    QRect meter;        // inside the strip
    QRect diagnostics, recommend, exportButton;
    int textWidth = 0;  // of the name, subtitle and health column at x 70
};

CardFrames cardFrames(int width, int meterWidth);

inline constexpr int kCollapsedCardHeight = 124;
inline constexpr int kExpandedCardHeight = 308;

}  // namespace vornisel
