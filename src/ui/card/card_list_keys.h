#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "ui/card/device_card.h"

namespace vornisel {

// Where the keyboard is in the card list: a device and one of its card's controls.
struct CardPlace {
    uint32_t id = 0;
    CardRole role = CardRole::toggle;
    // The card's position in the list when the place was taken, for finding its neighbour.
    size_t position = 0;
    bool operator==(const CardPlace&) const = default;
};

// The keyboard in the card list. The whole list is one Tab stop, the control last focused in it;
// Left and Right walk a card's controls, Up and Down go to the same control of the card above or
// below, and Enter or Space acts on the focused one. The place is kept by device and role, so it
// survives rebuilds of the cards.
class CardListKeys : public QObject {
public:
    // `cards` gives the list in its order, top to bottom.
    explicit CardListKeys(std::function<std::vector<DeviceCard*>()> cards,
                          QObject* parent = nullptr);

    // Takes a new card's controls into the list.
    void adopt(DeviceCard& card);
    // The place the list's window has its focus on, if it is in the list.
    std::optional<CardPlace> focused() const;
    // Puts the focus back on `place`. When that control is gone or cannot take the focus, the
    // nearest one of the same card does, else the same control of the next card (or the one
    // before), never a toggle of another device. Does nothing without a place.
    void restore(const std::optional<CardPlace>& place);
    // Makes exactly one control of the list the Tab stop.
    void updateTabStop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<CardPlace> placeOf(const QObject* object) const;
    DeviceCard* cardOf(uint32_t id) const;
    ActionButton* target(const CardPlace& place) const;
    ActionButton* nearestIn(const DeviceCard& card, CardRole role, bool otherDevice) const;
    bool move(const CardPlace& from, int key);
    void focus(ActionButton* button);

    std::function<std::vector<DeviceCard*>()> cards_;
    std::optional<CardPlace> current_;
};

}  // namespace vornisel
