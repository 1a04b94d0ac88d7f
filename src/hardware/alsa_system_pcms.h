#pragma once

#include <string>
#include <vector>

#include "hardware/alsa_user_pcms.h"
#include "hardware/device_candidate.h"

namespace vornisel {

// True for a name of ALSA's list of hinted PCMs that the panel offers beside the cards: not
// "null" (it discards everything), not an alias of a card (its arguments name the card, as in
// "front:CARD=PCH,DEV=0" or "plughw:CARD=PCH,DEV=0": the card's own device is listed already)
// and not one of the product's own devices.
bool offeredHintedPcm(const std::string& name);

// The ALSA type of the PCM `name` in the loaded configuration ("pipewire", "null", "rate"...),
// "" when it has no readable definition. ALSA's own diagnostics must already be silenced.
std::string pcmType(const std::string& name);

// True for a hinted PCM of the system's own files that the panel offers: "default", and a sound
// server's PCM (types "pipewire", "pulse" and "jack"). The distribution's other plugins
// (resamplers, up- and down-mixers, the OSS and DSP bridges) are no devices of their own.
bool offeredSystemPcm(const std::string& name, const std::string& type);

// The PCMs that the whole ALSA configuration, the system's files as well as the user's, describes
// with a hint, in ALSA's order. A PCM without a description is not one that the configuration
// offers a person (ALSA may list every PCM when told to show all), so it is left out. ALSA's own
// diagnostics must already be silenced.
std::vector<ConfiguredPcm> describedPcms();

// The described PCMs that are offered, each once, except those whose name is among `taken`:
// those of deliberateConfigFiles() as they are, the others by offeredSystemPcm(). This is where
// the desktop's sound server shows: "pipewire", "pulse" and the "default" that leads to it; a
// server that does not run leaves its PCMs without channels when probed, so they are not
// offered.
std::vector<ConfiguredPcm> systemPcms(const std::vector<std::string>& taken);

}  // namespace vornisel
