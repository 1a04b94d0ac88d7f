#include "hardware/alsa_channels.h"

#include <gtest/gtest.h>

#include <climits>

namespace vornisel {
namespace {

TEST(AlsaChannelsTest, BoundsConvertingPcmsAndKeepsRealCounts) {
    const std::vector<std::pair<unsigned, int>> cases = {
        {0, 0},       {1, 1},     {2, 2},          {8, 8},           {64, 64},
        {1024, 1024}, {1025, 32}, {536870911, 32}, {1073741823, 32}, {UINT_MAX, 32},
    };
    for (const auto& [maximum, reported] : cases) {
        EXPECT_EQ(reportedChannels(maximum), reported) << maximum;
    }
}

TEST(AlsaChannelsTest, ReadsTheChannelsAHolderConfigured) {
    const std::string configured =
        "access: MMAP_INTERLEAVED\nformat: S32_LE\nsubformat: STD\nchannels: 10\nrate: 48000 "
        "(48000/1)\nperiod_size: 1024\nbuffer_size: 4096\n";
    const std::vector<std::pair<std::string, std::optional<int>>> cases = {
        {configured, 10},
        {"channels: 2", 2},
        {"closed\n", std::nullopt},
        {"", std::nullopt},
        {"channels: 0\n", std::nullopt},
        {"channels: many\n", std::nullopt},
        {"  channels: 4\n", std::nullopt},  // only a line that starts with the key counts
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(channelsInUse(text), expected) << text;
    }
}

TEST(AlsaChannelsTest, ProbingAMissingPcmGivesNoChannels) {
    const ChannelProbe probe = probeChannels("no_such_pcm_anywhere", false);
    EXPECT_EQ(probe.channels, 0);
    EXPECT_FALSE(probe.busy);
}

}  // namespace
}  // namespace vornisel
