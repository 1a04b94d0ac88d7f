#include "ui/card/card_layout.h"

#include <algorithm>
#include <cmath>

namespace vornisel {

CardFrames cardFrames(int width, int meterWidth) {
    CardFrames f;
    // Four 32-point icon buttons on a 36-point pitch from the right edge.
    f.toggle = QRect(width - 160, 46, 32, 32);
    f.edit = QRect(width - 124, 46, 32, 32);
    f.info = QRect(width - 88, 46, 32, 32);
    f.remove = QRect(width - 52, 46, 32, 32);
    // The strip gives way to the texts on narrow cards, but never below 70 points, and never
    // grows past the meter itself or 360 points.
    const int strip = std::min({std::max(width - 490, 70), meterWidth, 360});
    f.meterScroll = QRect(width - 288 - strip, 19, strip, 86);
    f.meter = QRect(0, 0, meterWidth, 84);
    f.diagnostics = QRect(70, 142, width - 90, 124);
    const int recommendWidth = static_cast<int>(std::floor(std::max((width - 90) * 0.57, 100.0)));
    f.recommend = QRect(64, 275, recommendWidth, 25);
    f.exportButton = QRect(width - 280, 275, 260, 25);
    f.textWidth = std::max(f.meterScroll.x() - 86, 60);
    return f;
}

}  // namespace vornisel
