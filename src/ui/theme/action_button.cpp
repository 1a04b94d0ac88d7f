#include "ui/theme/action_button.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>

#include "ui/theme/theme.h"

namespace vornisel {

ActionButton::ActionButton(const QString& title, std::optional<Glyph> glyph,
                           std::function<void()> handler, QWidget* parent)
    : QAbstractButton(parent), glyph_(glyph), handler_(std::move(handler)) {
    setText(title);
    // Clicking a button must not pull the keyboard focus out of a text field; Tab still reaches
    // it and Space presses it.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover, true);
    connect(this, &QAbstractButton::clicked, this, [this] { invoke(); });
    updateAccessibleName();
}

void ActionButton::setTitle(const QString& title) {
    if (title == text()) return;
    setText(title);
    updateAccessibleName();
    update();
}

void ActionButton::setSpokenTitle(const QString& title) {
    spokenTitle_ = title;
    updateAccessibleName();
}

void ActionButton::setTip(const QString& tip) {
    if (tip != toolTip()) setToolTip(tip);
}

void ActionButton::setTab(bool tab) {
    setCheckable(tab);
    update();
}

void ActionButton::setGlyph(std::optional<Glyph> glyph) {
    glyph_ = glyph;
    update();
}

void ActionButton::setAccent(bool accent) {
    if (accent_ == accent) return;
    accent_ = accent;
    update();
}

void ActionButton::setLink(bool link) {
    link_ = link;
    update();
}

void ActionButton::setAttention(bool attention) {
    if (attention_ == attention) return;
    attention_ = attention;
    update();
}

void ActionButton::setHovering(bool hovering) {
    if (hovering_ == hovering) return;
    hovering_ = hovering;
    update();
}

void ActionButton::invoke() {
    if (isEnabled() && handler_) handler_();
}

QSize ActionButton::sizeHint() const {
    if (glyph_) return {32, 32};
    const QFontMetricsF metrics(Theme::font(13));
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()))) + 24, 28};
}

const QColor& ActionButton::disabledContent() {
    static const QColor c(111, 119, 130);
    return c;
}

const QColor& ActionButton::activeFill() {
    static const QColor c(58, 66, 78);
    return c;
}

const QColor& ActionButton::disabledFill() {
    static const QColor c(26, 29, 34);
    return c;
}

QColor ActionButton::contentColor(bool enabled, bool attention, bool link) {
    if (!enabled) return disabledContent();
    if (attention) return Theme::warning();
    if (link) return Theme::link();
    return Theme::text();
}

QColor ActionButton::bodyFill(bool enabled, bool active, bool accent) {
    if (!enabled) return disabledFill();
    if (active) return activeFill();
    return accent ? Theme::accent() : Theme::control();
}

QColor ActionButton::bodyOutline(bool accent) {
    return accent ? Theme::accent() : Theme::border();
}

QRectF ActionButton::titleRect(QSizeF size) {
    return {6, (size.height() - 17) / 2, size.width() - 12, 19};
}

void ActionButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Outlines sit on pixel centres (half-point insets), which antialiasing keeps crisp at 2x.
    painter.setRenderHint(QPainter::Antialiasing, true);
    const bool enabled = isEnabled();
    const QColor content = contentColor(enabled, attention_, link_);
    if (!link_) {
        const QRectF bounds(rect());
        painter.fillRect(bounds, bodyFill(enabled, isDown() || hovering_, accent_));
        Theme::outline(painter, bounds, bodyOutline(accent_));
    }
    if (glyph_) {
        drawGlyph(painter, *glyph_, QRectF(rect()), content);
    } else {
        Theme::draw(painter, text(), titleRect(size()), 13, content, false, Qt::AlignHCenter);
    }
    drawMarks(painter);
}

// What must not rest on colour alone: the selected tab, a waiting action and the keyboard focus.
void ActionButton::drawMarks(QPainter& painter) const {
    if (isCheckable() && isChecked()) {
        painter.fillRect(QRectF(4, height() - 5, width() - 8, 3), Theme::text());
    }
    if (attention_ && glyph_ && isEnabled()) {
        painter.setPen(QPen(Theme::background(), 1));
        painter.setBrush(Theme::warning());
        painter.drawEllipse(QRectF(width() - 10, 2, 8, 8));
    }
    if (hasFocus()) Theme::focusFrame(painter, QRectF(rect()));
}

void ActionButton::keyPressEvent(QKeyEvent* event) {
    // Enter acts on the focused button, as Space does, rather than on the dialog's default.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (isEnabled()) click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void ActionButton::enterEvent(QEnterEvent* event) {
    setHovering(true);
    QAbstractButton::enterEvent(event);
}

void ActionButton::leaveEvent(QEvent* event) {
    setHovering(false);
    QAbstractButton::leaveEvent(event);
}

bool ActionButton::event(QEvent* event) {
    if (event->type() == QEvent::ToolTipChange) updateAccessibleName();
    return QAbstractButton::event(event);
}

void ActionButton::updateAccessibleName() {
    const QString name = !spokenTitle_.isEmpty() ? spokenTitle_
                         : text().isEmpty()      ? toolTip()
                                                 : text();
    if (name != accessibleName()) setAccessibleName(name);
}

}  // namespace vornisel
