#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornisel {

// A PCM whose largest channel count is above this accepts any count (a converting plugin such as
// plug, route or null reports about 2^29 or 2^30); no real interface comes near it.
inline constexpr unsigned kUnboundedChannels = 1024;

// What such a PCM reports: the widest route grid, so that every channel a grid can show is
// available and none beyond it is promised.
inline constexpr int kConvertingPcmChannels = 32;

// What a direction held open by another program reports when the kernel does not show the
// channels in use: a stereo pair, which nearly every device offers, so the device stays listed.
inline constexpr int kBusyFallbackChannels = 2;

// The channel count reported for a PCM direction whose largest accepted count is `maximum`.
int reportedChannels(unsigned maximum);

// The "channels:" figure of a kernel hw_params status text (/proc/asound/cardN/pcmDx/subS), or
// nothing when the substream is closed or not yet configured.
std::optional<int> channelsInUse(std::string_view hwParamsText);

// The result of opening one direction of a PCM to read its channel range.
struct ChannelProbe {
    int channels = 0;   // 0 when the direction does not exist or cannot be opened
    bool busy = false;  // another program holds the direction open
};

// Opens `pcm` (an ALSA PCM name) in one direction without blocking, reads the largest channel
// count it accepts and closes it again. ALSA's own diagnostics must already be silenced.
ChannelProbe probeChannels(const std::string& pcm, bool input);

// Both directions of one PCM.
struct PcmChannels {
    ChannelProbe input;
    ChannelProbe output;
};

// How long probing the configured PCMs may take in all. A PCM that talks to a sound server waits
// for the server in its open; a server that hangs must not hold the listing up for long, and a
// loaded machine must still have time to start the probes and let them answer.
inline constexpr std::chrono::milliseconds kConfiguredPcmProbeBound{3000};

// Probes both directions of each of `pcms` (ALSA PCM names), all at once, each in a child
// process of its own, and waits at most `bound` in all for the answers: whatever a plugin does
// in its open (connect to a server, open a file) cannot hang the caller. One result per PCM, in
// order; nothing for a PCM whose child did not answer in time (it is killed) or could not be
// started. Blocks for up to `bound`: never call it on a thread that must stay responsive.
std::vector<std::optional<PcmChannels>> probeChannelsWithin(const std::vector<std::string>& pcms,
                                                            std::chrono::milliseconds bound);

}  // namespace vornisel
