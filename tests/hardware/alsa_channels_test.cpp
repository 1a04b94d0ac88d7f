#include "hardware/alsa_channels.h"

#include <gtest/gtest.h>

#include <climits>

namespace vornisel {
namespace {

TEST(AlsaChannelsTest, BoundsConvertingPcmsAndKeepsRealCounts) {
    const std::vector<std::pair<unsigned, int>> cases = {
        {0, 0}, {2, 2}, {1024, 1024}, {1025, 32}, {UINT_MAX, 32},
    };
    for (const auto& [maximum, reported] : cases) {
        EXPECT_EQ(reportedChannels(maximum), reported) << maximum;
    }
}

TEST(AlsaChannelsTest, ReadsTheChannelsAHolderConfigured) {
    const std::vector<std::pair<std::string, std::optional<int>>> cases = {
        {"access: MMAP_INTERLEAVED\nchannels: 10\nrate: 48000 (48000/1)\n", 10},
        {"channels: 2", 2},
        {"closed\n", std::nullopt},
        {"channels: 0\n", std::nullopt},
        {"channels: many\n", std::nullopt},
        {"  channels: 4\n", std::nullopt},  // only a line that starts with the key counts
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(channelsInUse(text), expected) << text;
    }
}

}  // namespace
}  // namespace vornisel
