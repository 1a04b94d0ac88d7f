#include "hardware/alsa_channels.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <memory>

namespace vornisel {

namespace {

using PcmHandle = std::unique_ptr<snd_pcm_t, int (*)(snd_pcm_t*)>;

// One direction of a PCM, opened to read what it accepts.
struct OpenedPcm {
    PcmHandle handle{nullptr, snd_pcm_close};
    bool busy = false;
    unsigned minimum = 0;
    unsigned maximum = 0;
};

OpenedPcm openRange(const std::string& pcm, bool input) {
    OpenedPcm result;
    snd_pcm_t* handle = nullptr;
    const int opened =
        snd_pcm_open(&handle, pcm.c_str(), input ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                     SND_PCM_NONBLOCK);
    result.busy = opened == -EBUSY;
    if (opened < 0) return result;
    result.handle.reset(handle);

    snd_pcm_hw_params_t* params = nullptr;
    if (snd_pcm_hw_params_malloc(&params) < 0) return result;
    std::unique_ptr<snd_pcm_hw_params_t, void (*)(snd_pcm_hw_params_t*)> freer(
        params, snd_pcm_hw_params_free);
    if (snd_pcm_hw_params_any(handle, params) < 0 ||
        snd_pcm_hw_params_get_channels_min(params, &result.minimum) < 0 ||
        snd_pcm_hw_params_get_channels_max(params, &result.maximum) < 0) {
        result.minimum = result.maximum = 0;
    }
    return result;
}

// The channels of the one layout the PCM's channel maps describe; 0 when it reports none, or a
// menu of layouts with different counts: that is what a converting plugin offers (PipeWire's
// lists mono to 7.1 whatever its server plays), and it says nothing of the device behind it.
int mappedChannels(snd_pcm_t* handle) {
    snd_pcm_chmap_query_t** maps = snd_pcm_query_chmaps(handle);
    if (maps == nullptr) return 0;
    unsigned channels = 0;
    for (snd_pcm_chmap_query_t** map = maps; *map != nullptr; ++map) {
        const unsigned count = (*map)->map.channels;
        channels = channels == 0 || channels == count ? count : UINT_MAX;
    }
    snd_pcm_free_chmaps(maps);
    return channels > kUnboundedChannels ? 0 : static_cast<int>(channels);
}

}  // namespace

int reportedChannels(unsigned maximum) {
    if (maximum > kUnboundedChannels) return kConvertingPcmChannels;
    return static_cast<int>(maximum);
}

int rangeChannels(unsigned minimum, unsigned maximum, int mapped) {
    if (minimum >= maximum) return reportedChannels(maximum);
    if (mapped <= 0) return kUnmappedChannels;
    return std::min(mapped, kConvertingPcmChannels);
}

std::optional<int> channelsInUse(std::string_view text) {
    constexpr std::string_view key = "channels:";
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with(key)) continue;
        line.remove_prefix(key.size());
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        int channels = 0;
        const auto [rest, error] =
            std::from_chars(line.data(), line.data() + line.size(), channels);
        if (error == std::errc() && channels > 0) return channels;
        return std::nullopt;
    }
    return std::nullopt;
}

ChannelProbe probeChannels(const std::string& pcm, bool input) {
    const OpenedPcm opened = openRange(pcm, input);
    return {reportedChannels(opened.maximum), opened.busy};
}

ChannelProbe probePcmChannels(const std::string& pcm, bool input) {
    const OpenedPcm opened = openRange(pcm, input);
    if (!opened.handle || opened.maximum == 0) return {0, opened.busy};
    // Only a range needs the map; asking costs a fixed PCM nothing it would use.
    const int mapped = opened.minimum < opened.maximum ? mappedChannels(opened.handle.get()) : 0;
    return {rangeChannels(opened.minimum, opened.maximum, mapped), false};
}

}  // namespace vornisel
