#pragma once

#include <QAbstractButton>
#include <QColor>
#include <functional>
#include <optional>

#include "ui/theme/glyph.h"

namespace vornisel {

// A flat button that shows either its title or a glyph, lights up under the pointer and runs a
// handler when clicked. All of its look comes from the theme and the fixed colours below.
class ActionButton : public QAbstractButton {
    Q_OBJECT
public:
    ActionButton(const QString& title, std::optional<Glyph> glyph, std::function<void()> handler,
                 QWidget* parent = nullptr);

    // The title is the button's text; with no title the tool tip names the button instead, so a
    // screen reader can always name an icon button. A spoken title, when set, comes before both:
    // it says what the button acts on ("Start Studio B") where the tool tip only says what it
    // does.
    QString title() const { return text(); }
    void setTitle(const QString& title);
    void setSpokenTitle(const QString& title);
    // Sets the tool tip only when it reads differently, so a refresh that changes nothing tells
    // assistive tools nothing.
    void setTip(const QString& tip);

    std::optional<Glyph> glyph() const { return glyph_; }
    void setGlyph(std::optional<Glyph> glyph);
    bool accent() const { return accent_; }
    void setAccent(bool accent);
    bool link() const { return link_; }
    void setLink(bool link);
    bool attention() const { return attention_; }
    void setAttention(bool attention);
    bool hovering() const { return hovering_; }
    void setHovering(bool hovering);
    void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }
    bool hasHandler() const { return static_cast<bool>(handler_); }

    // Runs the handler when the button is enabled and has one.
    void invoke();

    QSize sizeHint() const override;

    // A tab: checkable, and the checked one is underlined as well as filled.
    void setTab(bool tab);

    // The colours and the title rectangle for a given state, kept free of any widget so that they
    // can be checked directly.
    static QColor contentColor(bool enabled, bool attention, bool link);
    static QColor bodyFill(bool enabled, bool active, bool accent);
    static QColor bodyOutline(bool accent);
    static QRectF titleRect(QSizeF size);
    static const QColor& disabledContent();
    static const QColor& activeFill();
    static const QColor& disabledFill();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void updateAccessibleName();
    void drawMarks(QPainter& painter) const;

    std::optional<Glyph> glyph_;
    bool accent_ = false;
    bool link_ = false;
    bool attention_ = false;
    bool hovering_ = false;
    QString spokenTitle_;
    std::function<void()> handler_;
};

}  // namespace vornisel
