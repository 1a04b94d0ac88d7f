#include "hardware/alsa_sound_cards.h"

#include <alsa/asoundlib.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "hardware/alsa_channels.h"

namespace vornisel {

namespace {

using CtlHandle = std::unique_ptr<snd_ctl_t, int (*)(snd_ctl_t*)>;

struct Direction {
    bool exists = false;
    std::string name;
    int subdevices = 0;
};

Direction describeDirection(snd_ctl_t* ctl, int device, snd_pcm_stream_t stream) {
    snd_pcm_info_t* info = nullptr;
    if (snd_pcm_info_malloc(&info) < 0) return {};
    std::unique_ptr<snd_pcm_info_t, void (*)(snd_pcm_info_t*)> freer(info, snd_pcm_info_free);
    snd_pcm_info_set_device(info, static_cast<unsigned>(device));
    snd_pcm_info_set_subdevice(info, 0);
    snd_pcm_info_set_stream(info, stream);
    if (snd_ctl_pcm_info(ctl, info) < 0) return {};
    const char* name = snd_pcm_info_get_name(info);
    return {true, name ? name : "", static_cast<int>(snd_pcm_info_get_subdevices_count(info))};
}

// The channels that the program holding a busy direction configured, read from the kernel's
// status files; the first configured substream tells.
std::optional<int> busyChannels(int card, int device, bool input, int subdevices) {
    for (int sub = 0; sub < subdevices; ++sub) {
        const std::string path = "/proc/asound/card" + std::to_string(card) + "/pcm" +
                                 std::to_string(device) + (input ? "c" : "p") + "/sub" +
                                 std::to_string(sub) + "/hw_params";
        std::ifstream in(path);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        if (auto channels = channelsInUse(text)) return channels;
    }
    return std::nullopt;
}

std::vector<int> directionStreams(const std::string& uid, const Direction& direction, int card,
                                  int device, bool input) {
    if (!direction.exists) return {};
    const ChannelProbe probe = probeChannels(uid, input);
    int channels = probe.channels;
    if (probe.busy) {
        channels =
            busyChannels(card, device, input, direction.subdevices).value_or(kBusyFallbackChannels);
    }
    if (channels <= 0) return {};
    return {channels};
}

void appendCardDevices(int card, std::vector<DeviceCandidate>& out) {
    snd_ctl_t* raw = nullptr;
    if (snd_ctl_open(&raw, ("hw:" + std::to_string(card)).c_str(), SND_CTL_NONBLOCK) < 0) return;
    CtlHandle ctl(raw, snd_ctl_close);

    snd_ctl_card_info_t* info = nullptr;
    if (snd_ctl_card_info_malloc(&info) < 0) return;
    std::unique_ptr<snd_ctl_card_info_t, void (*)(snd_ctl_card_info_t*)> freer(
        info, snd_ctl_card_info_free);
    if (snd_ctl_card_info(ctl.get(), info) < 0) return;
    const std::string cardID = snd_ctl_card_info_get_id(info);
    const std::string cardName = snd_ctl_card_info_get_name(info);

    for (int device = -1; snd_ctl_pcm_next_device(ctl.get(), &device) >= 0 && device >= 0;) {
        const Direction playback = describeDirection(ctl.get(), device, SND_PCM_STREAM_PLAYBACK);
        const Direction capture = describeDirection(ctl.get(), device, SND_PCM_STREAM_CAPTURE);
        DeviceCandidate candidate;
        candidate.uid = soundCardUID(cardID, device);
        candidate.name =
            soundCardDeviceName(cardName, playback.exists ? playback.name : capture.name);
        candidate.outputStreams = directionStreams(candidate.uid, playback, card, device, false);
        candidate.inputStreams = directionStreams(candidate.uid, capture, card, device, true);
        out.push_back(std::move(candidate));
    }
}

}  // namespace

std::string soundCardUID(const std::string& cardID, int device) {
    return "hw:CARD=" + cardID + ",DEV=" + std::to_string(device);
}

std::string soundCardDeviceName(const std::string& cardName, const std::string& deviceName) {
    if (deviceName.empty() || deviceName == cardName) return cardName;
    return cardName + ": " + deviceName;
}

std::optional<std::vector<DeviceCandidate>> soundCardCandidates() {
    std::vector<DeviceCandidate> result;
    int card = -1;
    while (true) {
        if (snd_card_next(&card) < 0) return std::nullopt;
        if (card < 0) break;
        appendCardDevices(card, result);
    }
    return result;
}

}  // namespace vornisel
