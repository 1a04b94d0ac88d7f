#pragma once

#include <functional>

#include "ui/theme/panel_view.h"

namespace vornisel {

// The main window's root view. It tells its owner after every resize, so the controller can
// place the header, the notice bar and the card list for the new size.
class MainContent : public PanelView {
    Q_OBJECT
public:
    explicit MainContent(QWidget* parent = nullptr);

    void setResized(std::function<void()> resized) { resized_ = std::move(resized); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::function<void()> resized_;
};

}  // namespace vornisel
