#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hardware/card_listing.h"
#include "hardware/device_candidate.h"

namespace vornisel {

// The UID of a card's PCM device. It names the card by its id, which the driver derives from the
// hardware and which survives reboots and re-plugging, where card numbers do not.
std::string soundCardUID(const std::string& cardID, int device);

// What a person reads for a card's PCM device: "<card name>: <device name>", or the card name
// alone when the device has none.
std::string soundCardDeviceName(const std::string& cardName, const std::string& deviceName);

// Every PCM device of `cards`, in card and device order, with one stream per direction that
// exists, of the channels `probes` find. A direction that another program holds open counts with
// the channels that program configured, else kBusyFallbackChannels.
std::vector<DeviceCandidate> cardCandidates(const std::vector<CardListing>& cards,
                                            const CardProbes& probes);

// The machine's sound cards, through ALSA; nothing when they cannot be enumerated. ALSA's own
// diagnostics must already be silenced.
std::optional<std::vector<DeviceCandidate>> soundCardCandidates();

}  // namespace vornisel
