#pragma once

#include <QColor>

namespace vornisel::card_colors {

// The one-off colours of the card views, beside the theme palette.
// 3:1 against the window's background, so a card's edge shows.
inline QColor cardOutline() {
    return {110, 120, 134};
}
inline QColor meterBackground() {
    return {23, 26, 24};
}
inline QColor groupCaption() {
    return {147, 161, 153};
}
inline QColor meterWell() {
    return {32, 40, 35};
}
inline QColor meterWellOutline() {
    return {48, 56, 50};
}
inline QColor meterGreen() {
    return {50, 205, 50};
}
inline QColor channelLabel() {
    return {213, 221, 216};
}
inline QColor chartFill() {
    return {37, 42, 49};
}
inline QColor eventOutline() {
    return {60, 68, 79};
}

}  // namespace vornisel::card_colors
