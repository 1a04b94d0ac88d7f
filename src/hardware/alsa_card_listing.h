#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "hardware/card_listing.h"

namespace vornisel {

// The kernel's status files of the sound cards.
inline constexpr const char* kProcAsound = "/proc/asound";

// The hw_params status file of one substream under `procAsound`:
// <procAsound>/card<N>/pcm<D><p|c>/sub<S>/hw_params.
std::filesystem::path substreamStatusFile(const std::filesystem::path& procAsound, int card,
                                          int device, bool input, int subdevice);

// Every card that ALSA's control interface shows, in card order, with its PCM devices; a card
// whose control cannot be opened is left out. Nothing when the cards cannot be enumerated.
// ALSA's own diagnostics must already be silenced.
std::optional<std::vector<CardListing>> alsaCardListing();

// Opening through ALSA and the status files under kProcAsound.
CardProbes alsaCardProbes();

}  // namespace vornisel
