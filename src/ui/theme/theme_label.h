#pragma once

#include <QLabel>

namespace vornisel {

// A label that keeps its whole text (for accessibility and tests) but paints a single line cut
// with an ellipsis at the tail, the way the drawn views do.
class ThemeLabel : public QLabel {
    Q_OBJECT
public:
    explicit ThemeLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    // A text cut short shows whole in a tool tip (assistive tools read the whole text anyway).
    bool event(QEvent* event) override;
};

}  // namespace vornisel
