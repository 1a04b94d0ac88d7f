#pragma once

#include <optional>
#include <string>
#include <string_view>

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

// What a PCM of the configuration whose channel count is a free range (a sound server, a
// converting plugin) reports when it has no channel map: a stereo pair, the layout nearly every
// desktop's default sink has.
inline constexpr int kUnmappedChannels = 2;

// The channel count offered for a PCM of the configuration that accepts `minimum` to `maximum`
// channels and whose channel maps describe one layout of `mapped` channels (0 when they describe
// none, or several). A fixed count is the device's own; a range says only what the plugin
// converts, so the one layout it reports tells instead, and without one a stereo pair is offered
// rather than the plugin's limit (PipeWire's 64, PulseAudio's 32).
int rangeChannels(unsigned minimum, unsigned maximum, int mapped);

// The result of opening one direction of a PCM to read its channel range.
struct ChannelProbe {
    int channels = 0;   // 0 when the direction does not exist or cannot be opened
    bool busy = false;  // another program holds the direction open
};

// Opens `pcm` (an ALSA PCM name) in one direction without blocking, reads the largest channel
// count it accepts and closes it again. ALSA's own diagnostics must already be silenced.
ChannelProbe probeChannels(const std::string& pcm, bool input);

// As probeChannels, for a PCM of the configuration: its count by rangeChannels(). Plugins may
// wait for a server or print to standard error here: only the probe helper calls it.
ChannelProbe probePcmChannels(const std::string& pcm, bool input);

}  // namespace vornisel
