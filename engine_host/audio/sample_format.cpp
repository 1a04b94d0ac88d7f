#include "audio/sample_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vornisel::enginehost {

namespace {

template <class T>
T load(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <class T>
void store(unsigned char* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

template <class T>
T quantise(float sample, double scale) {
    const double value = std::lround(std::clamp<double>(sample, -1.0, 1.0) * scale);
    return static_cast<T>(std::clamp<double>(value, -scale - 1, scale));
}

}  // namespace

void toFloat(snd_pcm_format_t format, const unsigned char* bytes, std::span<float> out) {
    for (size_t i = 0; i < out.size(); ++i) {
        switch (format) {
            case SND_PCM_FORMAT_S32_LE:
                out[i] = static_cast<float>(load<int32_t>(bytes + 4 * i) / 2147483648.0);
                break;
            case SND_PCM_FORMAT_S16_LE:
                out[i] = static_cast<float>(load<int16_t>(bytes + 2 * i) / 32768.0);
                break;
            default:
                out[i] = load<float>(bytes + 4 * i);
        }
    }
}

void fromFloat(snd_pcm_format_t format, std::span<const float> in, unsigned char* bytes) {
    for (size_t i = 0; i < in.size(); ++i) {
        switch (format) {
            case SND_PCM_FORMAT_S32_LE:
                store(bytes + 4 * i, quantise<int32_t>(in[i], 2147483647.0));
                break;
            case SND_PCM_FORMAT_S16_LE:
                store(bytes + 2 * i, quantise<int16_t>(in[i], 32767.0));
                break;
            default:
                store(bytes + 4 * i, in[i]);
        }
    }
}

}  // namespace vornisel::enginehost
