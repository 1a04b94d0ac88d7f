#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/theme/action_button.h"

class QMenu;

namespace vornisel {

// A pop-up chooser: shows the current choice with a chevron and opens a menu of all choices.
// Its look ignores hover and the style flags of ActionButton.
class MenuButton : public ActionButton {
    Q_OBJECT
public:
    explicit MenuButton(QWidget* parent = nullptr);

    const QStringList& choices() const { return choices_; }
    void setChoices(const QStringList& choices);
    void setChoices(const std::vector<std::string>& choices);
    int selected() const { return selected_; }
    // Changes the shown choice without calling `changed`.
    void setSelected(int selected);
    // Called with the new index after the user picks a choice, even the one already selected.
    void setChanged(std::function<void(int)> changed) { changed_ = std::move(changed); }

    // The text shown: the selected choice, or nothing when the index is out of range.
    QString currentText() const;

    // Builds the menu anew from the current choices, the selected one checked; picking an item
    // calls choose() with its index. The caller owns the menu.
    std::unique_ptr<QMenu> buildMenu();
    void showMenu();
    // What picking item `index` does: select it, redraw, then tell `changed`.
    void choose(int index);

    static QRectF textRect(QSizeF size);
    static QRectF chevronRect(QSizeF size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Assistive tools read the choice as the chooser's value; they hear of a change once.
    void announceValue();

    QStringList choices_;
    int selected_ = 0;
    std::function<void(int)> changed_;
};

}  // namespace vornisel
