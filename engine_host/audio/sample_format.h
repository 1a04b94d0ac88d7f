#pragma once

#include <alsa/asoundlib.h>

#include <cstddef>
#include <span>

namespace vornisel::enginehost {

// Sample conversions between the device's formats and the engine's floats (-1..1).
// The formats the engine asks a device for, the preferred first.
inline constexpr snd_pcm_format_t kDeviceFormats[] = {SND_PCM_FORMAT_S32_LE, SND_PCM_FORMAT_S16_LE,
                                                      SND_PCM_FORMAT_FLOAT_LE};

void toFloat(snd_pcm_format_t format, const unsigned char* bytes, std::span<float> out);
void fromFloat(snd_pcm_format_t format, std::span<const float> in, unsigned char* bytes);

}  // namespace vornisel::enginehost
