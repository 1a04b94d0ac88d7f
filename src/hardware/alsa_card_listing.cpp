#include "hardware/alsa_card_listing.h"

#include <alsa/asoundlib.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace vornisel {

namespace {

using CtlHandle = std::unique_ptr<snd_ctl_t, int (*)(snd_ctl_t*)>;

CardDirection describeDirection(snd_ctl_t* ctl, int device, snd_pcm_stream_t stream) {
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

std::optional<CardListing> describeCard(int card) {
    snd_ctl_t* raw = nullptr;
    if (snd_ctl_open(&raw, ("hw:" + std::to_string(card)).c_str(), SND_CTL_NONBLOCK) < 0) {
        return std::nullopt;
    }
    CtlHandle ctl(raw, snd_ctl_close);
    snd_ctl_card_info_t* info = nullptr;
    if (snd_ctl_card_info_malloc(&info) < 0) return std::nullopt;
    std::unique_ptr<snd_ctl_card_info_t, void (*)(snd_ctl_card_info_t*)> freer(
        info, snd_ctl_card_info_free);
    if (snd_ctl_card_info(ctl.get(), info) < 0) return std::nullopt;
    CardListing listing{
        card, {snd_ctl_card_info_get_id(info), snd_ctl_card_info_get_name(info)}, {}};
    for (int device = -1; snd_ctl_pcm_next_device(ctl.get(), &device) >= 0 && device >= 0;) {
        listing.devices.push_back({device,
                                   describeDirection(ctl.get(), device, SND_PCM_STREAM_PLAYBACK),
                                   describeDirection(ctl.get(), device, SND_PCM_STREAM_CAPTURE)});
    }
    return listing;
}

}  // namespace

std::filesystem::path substreamStatusFile(const std::filesystem::path& procAsound, int card,
                                          int device, bool input, int subdevice) {
    return procAsound / ("card" + std::to_string(card)) /
           ("pcm" + std::to_string(device) + (input ? "c" : "p")) /
           ("sub" + std::to_string(subdevice)) / "hw_params";
}

std::optional<std::vector<CardListing>> alsaCardListing() {
    std::vector<CardListing> result;
    for (int card = -1;;) {
        if (snd_card_next(&card) < 0) return std::nullopt;
        if (card < 0) return result;
        if (auto listing = describeCard(card)) result.push_back(std::move(*listing));
    }
}

CardProbes alsaCardProbes() {
    return {probeChannels, [](int card, int device, bool input, int subdevice) {
                std::ifstream in(substreamStatusFile(kProcAsound, card, device, input, subdevice));
                return std::string{std::istreambuf_iterator<char>(in), {}};
            }};
}

}  // namespace vornisel
