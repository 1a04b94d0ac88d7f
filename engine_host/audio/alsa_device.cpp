#include "audio/alsa_device.h"

#include <unistd.h>
#include <algorithm>

#include <cerrno>

#include "audio/sample_format.h"
#include "network/monotonic.h"

namespace vornisel::enginehost {

namespace {

// Playback's buffer holds the prefill and no more. On hardware a write then waits for the device
// to play a block, which paces the loop as the capture side does; every block more would be a
// block more of delay wherever a plugin hands samples on only as they leave its buffer (ALSA's
// file plugin does).
constexpr int kBufferBlocks = 2;
constexpr int kWaitMs = 100;
constexpr int kStallMs = 2000;
constexpr useconds_t kMinWaitUs = 200;

std::string describe(const std::string& what, int result) {
    return what + ": " + snd_strerror(result);
}

bool chooseFormat(snd_pcm_t* pcm, snd_pcm_hw_params_t* params, snd_pcm_format_t& chosen) {
    for (snd_pcm_format_t format : kDeviceFormats) {
        if (snd_pcm_hw_params_test_format(pcm, params, format) == 0 &&
            snd_pcm_hw_params_set_format(pcm, params, format) == 0) {
            chosen = format;
            return true;
        }
    }
    return false;
}

}  // namespace

std::unique_ptr<AlsaDevice> AlsaDevice::open(const Request& request, std::string& error) {
    std::unique_ptr<AlsaDevice> device(new AlsaDevice());
    device->rate_ = request.rate;
    device->frames_ = request.frames;
    if (request.playbackChannels > 0 &&
        !device->configure(device->playback_, SND_PCM_STREAM_PLAYBACK, request.playbackChannels,
                           error, request.name))
        return nullptr;
    if (request.captureChannels > 0 &&
        !device->configure(device->capture_, SND_PCM_STREAM_CAPTURE, request.captureChannels, error,
                           request.name))
        return nullptr;
    return device;
}

AlsaDevice::~AlsaDevice() {
    for (Direction* direction : {&playback_, &capture_}) {
        if (!direction->pcm) continue;
        snd_pcm_drop(direction->pcm);
        snd_pcm_close(direction->pcm);
    }
}

// Opens one direction with at least `channels` channels (the device's smallest count that has
// them), near the wished rate and block length, in a format we convert.
bool AlsaDevice::configure(Direction& direction, snd_pcm_stream_t stream, int channels,
                           std::string& error, const std::string& name) {
    const std::string what = stream == SND_PCM_STREAM_PLAYBACK ? "playback" : "capture";
    // Non-blocking: a busy device fails at once instead of holding the open, and every wait for
    // the device below is bounded, so a stalled device cannot keep the engine from stopping.
    int result = snd_pcm_open(&direction.pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
    if (result < 0) {
        direction.pcm = nullptr;
        error = describe("cannot open " + name + " for " + what, result);
        return false;
    }
    snd_pcm_hw_params_t* params = nullptr;
    snd_pcm_hw_params_alloca(&params);
    snd_pcm_t* pcm = direction.pcm;
    unsigned rate = static_cast<unsigned>(rate_);
    unsigned count = static_cast<unsigned>(channels);
    snd_pcm_uframes_t period = static_cast<snd_pcm_uframes_t>(frames_);
    snd_pcm_uframes_t buffer = period * kBufferBlocks;
    if ((result = snd_pcm_hw_params_any(pcm, params)) < 0 ||
        (result = snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (result = snd_pcm_hw_params_set_channels_min(pcm, params, &count)) < 0 ||
        (result = snd_pcm_hw_params_set_channels_first(pcm, params, &count)) < 0) {
        error = describe(
            name + " has no " + what + " with " + std::to_string(channels) + " channels", result);
        return false;
    }
    if (!chooseFormat(pcm, params, direction.format)) {
        error = name + " offers no sample format the engine converts for " + what;
        return false;
    }
    if ((result = snd_pcm_hw_params_set_rate_near(pcm, params, &rate, nullptr)) < 0 ||
        (result = snd_pcm_hw_params_set_period_size_near(pcm, params, &period, nullptr)) < 0 ||
        (result = snd_pcm_hw_params_set_buffer_size_near(pcm, params, &buffer)) < 0 ||
        (result = snd_pcm_hw_params(pcm, params)) < 0) {
        error = describe("cannot set up " + name + " for " + what, result);
        return false;
    }
    // The first direction fixes the rate and the block; the second must agree.
    if (!hasPlayback() || &direction == &playback_) {
        rate_ = static_cast<int>(rate);
        frames_ = static_cast<int>(period);
    } else if (static_cast<int>(rate) != rate_) {
        error = name + " records at " + std::to_string(rate) + " Hz but plays at " +
                std::to_string(rate_) + " Hz";
        return false;
    }
    direction.channels = static_cast<int>(count);
    direction.bytes.resize(static_cast<size_t>(frames_) * count *
                           static_cast<size_t>(snd_pcm_format_physical_width(direction.format)) /
                           8);
    return true;
}

bool AlsaDevice::start(int prefillBlocks) {
    prefillBlocks_ = std::max(1, prefillBlocks);
    if (hasPlayback()) {
        snd_pcm_sw_params_t* params = nullptr;
        snd_pcm_sw_params_alloca(&params);
        snd_pcm_sw_params_current(playback_.pcm, params);
        snd_pcm_sw_params_set_start_threshold(
            playback_.pcm, params, static_cast<snd_pcm_uframes_t>(frames_ * prefillBlocks_));
        snd_pcm_sw_params(playback_.pcm, params);
        prefill(prefillBlocks_);
    }
    return !hasCapture() || snd_pcm_start(capture_.pcm) >= 0;
}

void AlsaDevice::prefill(int blocks) {
    std::fill(playback_.bytes.begin(), playback_.bytes.end(), 0);
    for (int i = 0; i < blocks; ++i)
        if (snd_pcm_writei(playback_.pcm, playback_.bytes.data(),
                           static_cast<snd_pcm_uframes_t>(frames_)) < 0)
            return;
}

AlsaDevice::Io AlsaDevice::recover(Direction& direction, int result) {
    if (result == -EINTR) return Io::Done;
    if (result == -ESTRPIPE) {
        for (int i = 0; i < 10 && snd_pcm_resume(direction.pcm) == -EAGAIN; ++i)
            ::usleep(10000);
    }
    if (snd_pcm_prepare(direction.pcm) < 0) return Io::Failed;
    if (&direction == &playback_)
        prefill(prefillBlocks_);
    else if (snd_pcm_start(direction.pcm) < 0)
        return Io::Failed;
    return Io::Xrun;
}

// Moves one block through `direction`, waiting for the device where it is not ready yet. A device
// that stays unready for kStallMs has failed.
template <class Transfer>
AlsaDevice::Io AlsaDevice::transfer(Direction& direction, const std::atomic<bool>& stop,
                                    Transfer&& move) {
    const size_t frameBytes = direction.bytes.size() / static_cast<size_t>(frames_);
    const auto total = static_cast<snd_pcm_uframes_t>(frames_);
    snd_pcm_uframes_t done = 0;
    int64_t unreadySince = 0;
    bool wokeReady = false;
    while (done < total) {
        const snd_pcm_sframes_t n = move(direction.bytes.data() + done * frameBytes, total - done);
        if (n == -EAGAIN) {
            if (stop.load(std::memory_order_relaxed)) return Io::Stopped;
            const int64_t now = monotonicMicros();
            if (unreadySince == 0) unreadySince = now;
            if (now - unreadySince >= kStallMs * 1000) return Io::Failed;
            // A plugin whose descriptors say "ready" while it is not would make this spin, and
            // at real-time priority that starves the machine: after such a false "ready", sleep.
            if (wokeReady) ::usleep(kMinWaitUs);
            ++waits_;
            wokeReady = snd_pcm_wait(direction.pcm, kWaitMs) != 0;
            continue;
        }
        if (n < 0) {
            const Io io = recover(direction, static_cast<int>(n));
            if (io != Io::Done) return io;
            continue;
        }
        done += static_cast<snd_pcm_uframes_t>(n);
        unreadySince = 0;
    }
    return Io::Done;
}

AlsaDevice::Io AlsaDevice::read(std::span<float> out, const std::atomic<bool>& stop) {
    const Io io = transfer(capture_, stop, [this](unsigned char* at, snd_pcm_uframes_t count) {
        return snd_pcm_readi(capture_.pcm, at, count);
    });
    if (io == Io::Done) toFloat(capture_.format, capture_.bytes.data(), out);
    return io;
}

AlsaDevice::Io AlsaDevice::write(std::span<const float> in, const std::atomic<bool>& stop) {
    fromFloat(playback_.format, in, playback_.bytes.data());
    return transfer(playback_, stop, [this](unsigned char* at, snd_pcm_uframes_t count) {
        return snd_pcm_writei(playback_.pcm, at, count);
    });
}

}  // namespace vornisel::enginehost
