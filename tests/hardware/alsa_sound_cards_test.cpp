#include "hardware/alsa_sound_cards.h"

#include <gtest/gtest.h>

namespace vornisel {
namespace {

TEST(AlsaSoundCardsTest, NamesDevicesByCardIdAndDeviceNumber) {
    EXPECT_EQ(soundCardUID("U192k", 3), "hw:CARD=U192k,DEV=3");
    const std::vector<std::tuple<std::string, std::string, std::string>> names = {
        {"HDA Intel PCH", "ALC892 Analog", "HDA Intel PCH: ALC892 Analog"},
        {"HDA Intel PCH", "", "HDA Intel PCH"},
        {"USB Audio", "USB Audio", "USB Audio"},
    };
    for (const auto& [card, device, expected] : names) {
        EXPECT_EQ(soundCardDeviceName(card, device), expected);
    }
}

}  // namespace
}  // namespace vornisel
