#include "hardware/alsa_channels.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <memory>

namespace vornisel {

int reportedChannels(unsigned maximum) {
    if (maximum > kUnboundedChannels) return kConvertingPcmChannels;
    return static_cast<int>(maximum);
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
    snd_pcm_t* handle = nullptr;
    const int opened =
        snd_pcm_open(&handle, pcm.c_str(), input ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                     SND_PCM_NONBLOCK);
    if (opened == -EBUSY) return {0, true};
    if (opened < 0) return {};
    std::unique_ptr<snd_pcm_t, int (*)(snd_pcm_t*)> closer(handle, snd_pcm_close);

    snd_pcm_hw_params_t* params = nullptr;
    if (snd_pcm_hw_params_malloc(&params) < 0) return {};
    std::unique_ptr<snd_pcm_hw_params_t, void (*)(snd_pcm_hw_params_t*)> freer(
        params, snd_pcm_hw_params_free);
    unsigned maximum = 0;
    if (snd_pcm_hw_params_any(handle, params) < 0 ||
        snd_pcm_hw_params_get_channels_max(params, &maximum) < 0) {
        return {};
    }
    return {reportedChannels(maximum), false};
}

}  // namespace vornisel
