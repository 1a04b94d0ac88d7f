#include "hardware/alsa_sound_cards.h"

#include "hardware/alsa_card_listing.h"

namespace vornisel {

namespace {

// The channels that the program holding a busy direction configured; the first configured
// substream tells.
std::optional<int> busyChannels(const CardProbes& probes, int card, int device, bool input,
                                int subdevices) {
    for (int sub = 0; sub < subdevices; ++sub) {
        if (auto channels = channelsInUse(probes.substreamStatus(card, device, input, sub))) {
            return channels;
        }
    }
    return std::nullopt;
}

std::vector<int> directionStreams(const CardProbes& probes, const std::string& uid,
                                  const CardDirection& direction, int card, int device,
                                  bool input) {
    if (!direction.exists) return {};
    const ChannelProbe probe = probes.open(uid, input);
    int channels = probe.channels;
    if (probe.busy) {
        channels = busyChannels(probes, card, device, input, direction.subdevices)
                       .value_or(kBusyFallbackChannels);
    }
    if (channels <= 0) return {};
    return {channels};
}

}  // namespace

std::string soundCardUID(const std::string& cardID, int device) {
    return "hw:CARD=" + cardID + ",DEV=" + std::to_string(device);
}

std::string soundCardDeviceName(const std::string& cardName, const std::string& deviceName) {
    if (deviceName.empty() || deviceName == cardName) return cardName;
    return cardName + ": " + deviceName;
}

std::vector<DeviceCandidate> cardCandidates(const std::vector<CardListing>& cards,
                                            const CardProbes& probes) {
    std::vector<DeviceCandidate> result;
    for (const CardListing& card : cards) {
        for (const CardPcmDevice& device : card.devices) {
            DeviceCandidate candidate;
            candidate.uid = soundCardUID(card.identity.id, device.number);
            candidate.name = soundCardDeviceName(card.identity.name, device.playback.exists
                                                                         ? device.playback.name
                                                                         : device.capture.name);
            candidate.outputStreams = directionStreams(probes, candidate.uid, device.playback,
                                                       card.number, device.number, false);
            candidate.inputStreams = directionStreams(probes, candidate.uid, device.capture,
                                                      card.number, device.number, true);
            result.push_back(std::move(candidate));
        }
    }
    return result;
}

std::optional<std::vector<DeviceCandidate>> soundCardCandidates() {
    const auto cards = alsaCardListing();
    if (!cards) return std::nullopt;
    return cardCandidates(*cards, alsaCardProbes());
}

}  // namespace vornisel
