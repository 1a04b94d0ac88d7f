#include "ui/card/main_content.h"

namespace vornisel {

MainContent::MainContent(QWidget* parent) : PanelView(parent) {}

void MainContent::resizeEvent(QResizeEvent* event) {
    PanelView::resizeEvent(event);
    if (resized_) resized_();
}

}  // namespace vornisel
