#include "ui/theme/menu_button.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMenu>
#include <QPainter>
#include <QPointer>

#include "ui/theme/theme.h"

namespace vornisel {
namespace {

// A chooser to assistive tools: a combo box whose value is the current choice. Its name is its
// own, else its caption's (the label whose buddy it is).
class MenuButtonAccessible : public QAccessibleWidget {
public:
    explicit MenuButtonAccessible(MenuButton* button)
        : QAccessibleWidget(button, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        const auto* button = static_cast<const MenuButton*>(widget());
        if (t == QAccessible::Value) return button->currentText();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString& name) override {
        // Queued: the menu runs an event loop of its own, which must not hold up the caller.
        if (name == showMenuAction() || name == pressAction())
            QMetaObject::invokeMethod(widget(), "click", Qt::QueuedConnection);
    }
};

QAccessibleInterface* menuButtonAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String("vornisel::MenuButton")) return nullptr;
    return new MenuButtonAccessible(static_cast<MenuButton*>(object));
}

}  // namespace

MenuButton::MenuButton(QWidget* parent) : ActionButton(QString(), std::nullopt, {}, parent) {
    static const bool factory = (QAccessible::installFactory(menuButtonAccessible), true);
    (void)factory;
    // The menu runs a nested event loop; the button may be gone when a queued click arrives.
    setHandler([weak = QPointer<MenuButton>(this)] {
        if (weak) weak->showMenu();
    });
}

void MenuButton::setChoices(const QStringList& choices) {
    if (choices_ == choices) return;
    choices_ = choices;
    update();
}

void MenuButton::setChoices(const std::vector<std::string>& choices) {
    QStringList list;
    for (const auto& choice : choices)
        list << qtext(choice);
    setChoices(list);
}

void MenuButton::setSelected(int selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    announceValue();
    update();
}

void MenuButton::announceValue() {
    QAccessibleValueChangeEvent event(this, currentText());
    QAccessible::updateAccessibility(&event);
}

QString MenuButton::currentText() const {
    return selected_ >= 0 && selected_ < choices_.size() ? choices_[selected_] : QString();
}

std::unique_ptr<QMenu> MenuButton::buildMenu() {
    auto menu = std::make_unique<QMenu>();
    menu->setFont(Theme::font(13));
    for (int i = 0; i < choices_.size(); ++i) {
        QAction* action = menu->addAction(choices_[i]);
        action->setData(i);
        // Only the current choice carries a check mark; the others stay plain items.
        if (i == selected_) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        connect(action, &QAction::triggered, this, [this, i] { choose(i); });
    }
    return menu;
}

void MenuButton::showMenu() {
    auto menu = buildMenu();
    menu->exec(mapToGlobal(QPoint(0, height())));
}

void MenuButton::choose(int index) {
    const bool changed = selected_ != index;
    selected_ = index;
    if (changed) announceValue();
    update();
    if (changed_) changed_(selected_);
}

QRectF MenuButton::textRect(QSizeF size) {
    return {8, (size.height() - 17) / 2, size.width() - 36, 19};
}

QRectF MenuButton::chevronRect(QSizeF size) {
    return {size.width() - 26, (size.height() - 16) / 2, 16, 16};
}

void MenuButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Outlines sit on pixel centres (half-point insets), which antialiasing keeps crisp at 2x.
    painter.setRenderHint(QPainter::Antialiasing, true);
    const bool enabled = isEnabled();
    const QRectF bounds(rect());
    painter.fillRect(bounds, enabled ? Theme::fieldFill() : disabledFill());
    Theme::outline(painter, bounds, Theme::border());
    Theme::draw(painter, currentText(), textRect(size()), 13,
                enabled ? Theme::text() : Theme::secondary(), false, Qt::AlignLeft);
    drawGlyph(painter, Glyph::chevron, chevronRect(size()), Theme::secondary());
    if (hasFocus()) Theme::focusFrame(painter, bounds);
}

}  // namespace vornisel
