#include "app/main_layout.h"

#include <algorithm>

namespace vornisel {

namespace {

constexpr int noticeHeight = 42;
constexpr int cardGap = 12;

}  // namespace

MainFrames mainFrames(int width, int height, bool noticeShown) {
    const int W = width;
    const int T = noticeShown ? 122 + noticeHeight : 122;
    MainFrames f;
    f.header = {0, 0, W, 100};
    f.heading = {28, 20, W - 440, 36};
    f.subtitle = {28, 61, W - 440, 20};
    f.presets = {W - 400, 34, 176, 32};
    f.savePreset = {W - 220, 34, 32, 32};
    f.toggleAll = {W - 168, 34, 32, 32};
    f.settings = {W - 132, 34, 32, 32};
    f.refresh = {W - 96, 34, 32, 32};
    f.add = {W - 60, 34, 32, 32};
    f.notice = {28, 112, W - 56, 38};
    f.noticeIcon = {12, 8, 20, 22};
    f.noticeText = {36, 10, W - 136, 22};
    f.closeNotice = {W - 88, 7, 24, 24};
    f.devicesHeading = {28, T, W - 56, 24};
    f.scroll = {28, T + 38, W - 56, std::max(height - T - 66, 60)};
    return f;
}

CardStack stackCards(int contentWidth, int contentHeight, const std::vector<int>& heights) {
    CardStack stack;
    int y = 0;
    for (int h : heights) {
        stack.cards.emplace_back(0, y, contentWidth, h);
        y += h + cardGap;
    }
    stack.bodyHeight = std::max(y, contentHeight);
    return stack;
}

QRect emptyFrame(int contentWidth) {
    return {0, 90, contentWidth, 30};
}

QRect emptyHelpFrame(int contentWidth) {
    return {0, 127, contentWidth, 24};
}

}  // namespace vornisel
