#pragma once

#include <QRect>
#include <vector>

namespace vornisel {

// Where every view of the main window goes for a content size W x H, y growing downward. The
// notice bar pushes the device list down by 42 points while it shows.
struct MainFrames {
    QRect header, heading, subtitle;
    QRect presets, savePreset, toggleAll, settings, refresh, add;
    QRect notice, noticeIcon, noticeText, closeNotice;
    QRect devicesHeading, scroll;
};

MainFrames mainFrames(int width, int height, bool noticeShown);

// The cards stacked top-down inside the scroll area's document, 12 points apart, and the
// document's height: the stack (with the gap after the last card) or the visible height,
// whichever is larger.
struct CardStack {
    std::vector<QRect> cards;
    int bodyHeight = 0;
};

CardStack stackCards(int contentWidth, int contentHeight, const std::vector<int>& heights);

// The empty-list texts inside the document.
QRect emptyFrame(int contentWidth);
QRect emptyHelpFrame(int contentWidth);

}  // namespace vornisel
