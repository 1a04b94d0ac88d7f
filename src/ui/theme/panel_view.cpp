#include "ui/theme/panel_view.h"

#include <QAccessibleWidget>
#include <QPainter>

#include "ui/theme/theme.h"

namespace vornisel {
namespace {

// Read on every question, since a notice turns from information into a warning and back.
class PanelAccessible : public QAccessibleWidget {
public:
    explicit PanelAccessible(PanelView* panel) : QAccessibleWidget(panel) {}
    QAccessible::Role role() const override {
        return static_cast<const PanelView*>(widget())->accessibleRole();
    }
};

QAccessibleInterface* panelAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String("vornisel::PanelView")) return nullptr;
    return new PanelAccessible(static_cast<PanelView*>(object));
}

}  // namespace

PanelView::PanelView(QWidget* parent) : QWidget(parent), fill_(Theme::background()) {
    static const bool factory = (QAccessible::installFactory(panelAccessible), true);
    (void)factory;
    // The fill covers every pixel, so Qt need not paint the parent underneath first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelView::setFill(const QColor& fill) {
    fill_ = fill;
    update();
}

void PanelView::setStroke(std::optional<QColor> stroke) {
    stroke_ = stroke;
    update();
}

void PanelView::describe(const QString& name, const QString& description) {
    if (name != accessibleName()) setAccessibleName(name);
    if (description != accessibleDescription()) setAccessibleDescription(description);
}

void PanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawPanel(painter);
}

void PanelView::drawPanel(QPainter& painter) const {
    painter.fillRect(rect(), fill_);
    if (stroke_) Theme::outline(painter, QRectF(rect()), *stroke_);
}

}  // namespace vornisel
