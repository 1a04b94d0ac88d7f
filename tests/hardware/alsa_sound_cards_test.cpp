#include "hardware/alsa_sound_cards.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "hardware/alsa_card_listing.h"
#include "support/temp_dir.h"

namespace vornisel {

bool operator==(const DeviceCandidate& a, const DeviceCandidate& b) {
    return a.uid == b.uid && a.name == b.name && a.inputStreams == b.inputStreams &&
           a.outputStreams == b.outputStreams;
}

void PrintTo(const DeviceCandidate& c, std::ostream* out) {
    *out << c.uid << " \"" << c.name << "\" in " << testing::PrintToString(c.inputStreams)
         << " out " << testing::PrintToString(c.outputStreams);
}

namespace {

// Cards as their control interface would list them. Opening a direction gives its channels, or
// says that another program holds it; what that program configured lies in status files laid out
// as the kernel's. Playback and capture differ everywhere, so that a swap shows.
TEST(AlsaSoundCardsTest, ListsEachDirectionWithItsOwnChannelsAlsoWhenBusy) {
    test::TempDir proc;
    test::writeFile(proc / "card1/pcm0p/sub0/hw_params", "closed\n");
    test::writeFile(proc / "card1/pcm0p/sub1/hw_params", "access: RW_INTERLEAVED\nchannels: 10\n");
    // Only a line that starts with the key counts, and only a positive count.
    test::writeFile(proc / "card1/pcm1c/sub0/hw_params", "  channels: 4\nchannels: 0\n");
    test::writeFile(proc / "card2/pcm0c/sub0/hw_params", "channels: 6");
    const CardDirection none{}, one{true, "", 1}, two{true, "USB Audio", 2};
    const std::vector<CardListing> cards = {
        {0, {"PCH", "HDA Intel PCH"}, {{0, {true, "ALC892 Analog", 1}, one}, {3, one, none}}},
        {1, {"U192k", "UMC1820"}, {{0, two, two}, {1, {true, "UMC1820", 1}, one}}},
        {2, {"Mic", "USB Mic"}, {{0, none, one}}},
    };
    // By UID and direction (capture, playback): the channels, or busy (-1).
    const std::map<std::string, std::pair<int, int>> opened = {
        {"hw:CARD=PCH,DEV=0", {2, 8}},     {"hw:CARD=PCH,DEV=3", {0, 6}},
        {"hw:CARD=U192k,DEV=0", {18, -1}}, {"hw:CARD=U192k,DEV=1", {-1, 4}},
        {"hw:CARD=Mic,DEV=0", {-1, 0}},
    };
    const CardProbes probes = {
        [&](const std::string& uid, bool input) {
            const auto [capture, playback] = opened.at(uid);
            const int channels = input ? capture : playback;
            return ChannelProbe{std::max(channels, 0), channels < 0};
        },
        [&](int card, int device, bool input, int sub) {
            return test::readFile(substreamStatusFile(proc.path(), card, device, input, sub));
        }};
    const std::vector<DeviceCandidate> expected = {
        {"hw:CARD=PCH,DEV=0", "HDA Intel PCH: ALC892 Analog", {2}, {8}},
        {"hw:CARD=PCH,DEV=3", "HDA Intel PCH", {}, {6}},
        // Busy playback: the second substream's holder configured 10 channels.
        {"hw:CARD=U192k,DEV=0", "UMC1820: USB Audio", {18}, {10}},
        // Busy capture without a configured substream: a stereo pair keeps it listed.
        {"hw:CARD=U192k,DEV=1", "UMC1820", {2}, {4}},
        {"hw:CARD=Mic,DEV=0", "USB Mic", {6}, {}},
    };
    EXPECT_EQ(cardCandidates(cards, probes), expected);
}

}  // namespace
}  // namespace vornisel
