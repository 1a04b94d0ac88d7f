#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hardware/alsa_channels.h"

namespace vornisel {

// The helper program in the bundle's Contents/MacOS that probes one PCM of the configuration:
// `vornisel_pcm_probe <pcm>` prints probeAnswer() of its two directions on standard output.
inline constexpr const char* kPcmProbeProgram = "vornisel_pcm_probe";

// Both directions of one PCM.
struct PcmChannels {
    ChannelProbe input;
    ChannelProbe output;
};

// The helper's answer: "<input channels> <input busy> <output channels> <output busy>" and a line
// feed, in plain decimal digits whatever the locale.
std::string probeAnswer(const PcmChannels& channels);
// The channels of an answer, or nothing for anything else (a cut-off or garbled answer).
std::optional<PcmChannels> parseProbeAnswer(std::string_view answer);

// How long probing the configured PCMs may take in all. A PCM that talks to a sound server waits
// for the server in its open; a server that hangs must not hold the listing up for long, and a
// loaded machine must still have time to start the probes and let them answer.
inline constexpr std::chrono::milliseconds kConfiguredPcmProbeBound{3000};

// Probes both directions of each of `pcms` (ALSA PCM names), all at once, each in a helper
// process of its own, and waits at most `bound` in all for the answers: whatever a plugin does
// in its open (connect to a server, take locks, print to standard error, which goes nowhere)
// cannot hang or disturb the caller. The helpers are executed afresh, never forked copies of a
// caller whose other threads may hold locks. One result per PCM, in order; nothing for a PCM
// whose helper did not answer in time (it is killed) or could not be started. Blocks for up to
// `bound`: never call it on a thread that must stay responsive.
std::vector<std::optional<PcmChannels>> probeChannelsWithin(const std::vector<std::string>& pcms,
                                                            std::chrono::milliseconds bound);

}  // namespace vornisel
