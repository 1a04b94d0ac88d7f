#include "ui/card/card_list_keys.h"

#include <QKeyEvent>
#include <algorithm>

#include "ui/theme/action_button.h"

namespace vornisel {
namespace {

bool canFocus(const ActionButton* button) {
    return button && button->isEnabled() && !button->isHidden();
}

size_t indexOf(CardRole role) {
    const auto& roles = DeviceCard::roles();
    return static_cast<size_t>(std::find(roles.begin(), roles.end(), role) - roles.begin());
}

}  // namespace

CardListKeys::CardListKeys(std::function<std::vector<DeviceCard*>()> cards, QObject* parent)
    : QObject(parent), cards_(std::move(cards)) {}

void CardListKeys::adopt(DeviceCard& card) {
    for (CardRole role : DeviceCard::roles()) {
        ActionButton* button = card.button(role);
        button->installEventFilter(this);
        button->setFocusPolicy(Qt::NoFocus);
    }
}

DeviceCard* CardListKeys::cardOf(uint32_t id) const {
    for (DeviceCard* card : cards_()) {
        if (card->profile().id == id) return card;
    }
    return nullptr;
}

std::optional<CardPlace> CardListKeys::placeOf(const QObject* object) const {
    const auto cards = cards_();
    for (size_t i = 0; i < cards.size(); ++i) {
        for (CardRole role : DeviceCard::roles()) {
            if (cards[i]->button(role) == object) return CardPlace{cards[i]->profile().id, role, i};
        }
    }
    return std::nullopt;
}

std::optional<CardPlace> CardListKeys::focused() const {
    const auto cards = cards_();
    if (cards.empty()) return std::nullopt;
    // The window's own focus widget: it is kept while a dialog has the keyboard.
    const QWidget* focus = cards.front()->window()->focusWidget();
    return focus ? placeOf(focus) : std::nullopt;
}

ActionButton* CardListKeys::nearestIn(const DeviceCard& card, CardRole role,
                                      bool otherDevice) const {
    const auto& roles = DeviceCard::roles();
    const size_t start = indexOf(role);
    // Outward from the role's place: the next control, then the one before, and so on.
    for (size_t distance = 0; distance < roles.size(); ++distance) {
        for (size_t index : {start + distance, start - distance}) {
            if (index >= roles.size()) continue;
            if (otherDevice && roles[index] == CardRole::toggle) continue;
            ActionButton* button = card.button(roles[index]);
            if (canFocus(button)) return button;
        }
    }
    return nullptr;
}

ActionButton* CardListKeys::target(const CardPlace& place) const {
    if (DeviceCard* card = cardOf(place.id)) return nearestIn(*card, place.role, false);
    // The device is gone: the card that took its position, else the ones before it.
    const auto cards = cards_();
    const auto after = cards.begin() + static_cast<long>(std::min(place.position, cards.size()));
    std::vector<DeviceCard*> order(after, cards.end());
    order.insert(order.end(), std::make_reverse_iterator(after), cards.rend());
    for (DeviceCard* card : order) {
        if (ActionButton* button = nearestIn(*card, place.role, true)) return button;
    }
    return nullptr;
}

void CardListKeys::restore(const std::optional<CardPlace>& place) {
    if (!place) return;
    current_ = place;
    if (ActionButton* button = target(*place)) focus(button);
    updateTabStop();
}

void CardListKeys::focus(ActionButton* button) {
    button->setFocusPolicy(Qt::TabFocus);
    button->setFocus(Qt::OtherFocusReason);
    current_ = placeOf(button);
}

void CardListKeys::updateTabStop() {
    const auto cards = cards_();
    ActionButton* stop = current_ ? target(*current_) : nullptr;
    if (!stop && !cards.empty()) stop = nearestIn(*cards.front(), CardRole::toggle, false);
    for (DeviceCard* card : cards) {
        for (CardRole role : DeviceCard::roles()) {
            ActionButton* button = card->button(role);
            button->setFocusPolicy(button == stop ? Qt::TabFocus : Qt::NoFocus);
        }
    }
}

bool CardListKeys::move(const CardPlace& from, int key) {
    const auto cards = cards_();
    auto at = std::find_if(cards.begin(), cards.end(),
                           [&](DeviceCard* card) { return card->profile().id == from.id; });
    if (at == cards.end()) return false;
    const auto& roles = DeviceCard::roles();
    ActionButton* next = nullptr;
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        const int step = key == Qt::Key_Right ? 1 : -1;
        for (int i = static_cast<int>(indexOf(from.role)) + step;
             i >= 0 && i < static_cast<int>(roles.size()) && !next; i += step) {
            if (canFocus((*at)->button(roles[static_cast<size_t>(i)])))
                next = (*at)->button(roles[static_cast<size_t>(i)]);
        }
    } else {
        const bool down = key == Qt::Key_Down;
        if (down ? at + 1 == cards.end() : at == cards.begin()) return true;
        next = nearestIn(**(down ? at + 1 : at - 1), from.role, false);
    }
    if (next) {
        focus(next);
        updateTabStop();
    }
    return true;
}

bool CardListKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        current_ = placeOf(watched);
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const int code = key->key();
    const bool arrow =
        code == Qt::Key_Left || code == Qt::Key_Right || code == Qt::Key_Up || code == Qt::Key_Down;
    if (!arrow || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    const auto from = placeOf(watched);
    return from && move(*from, code);
}

}  // namespace vornisel
