#pragma once

#include <alsa/asoundlib.h>

#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vornisel::enginehost {

// One ALSA PCM opened for playback, capture or both, with blocks of a fixed number of frames.
// Samples cross this class as interleaved floats in -1..1, whatever format the device took.
class AlsaDevice {
public:
    struct Request {
        std::string name;
        int playbackChannels = 0;  // 0: no playback
        int captureChannels = 0;   // 0: no capture
        int rate = 48000;
        int frames = 64;
    };
    enum class Io { Done, Xrun, Failed, Stopped };

    // Nothing, with the reason in `error`, when a direction asked for cannot be opened.
    static std::unique_ptr<AlsaDevice> open(const Request& request, std::string& error);
    ~AlsaDevice();
    AlsaDevice(const AlsaDevice&) = delete;
    AlsaDevice& operator=(const AlsaDevice&) = delete;

    int rate() const { return rate_; }
    int frames() const { return frames_; }
    int playbackChannels() const { return playback_.channels; }
    int captureChannels() const { return capture_.channels; }
    bool hasPlayback() const { return playback_.pcm != nullptr; }
    bool hasCapture() const { return capture_.pcm != nullptr; }

    // Starts both directions, with the playback buffer filled with `prefillBlocks` of silence.
    bool start(int prefillBlocks);
    // One block each; an xrun is recovered from before returning Xrun. Waits for the device at
    // most until `stop` is set.
    Io read(std::span<float> out, const std::atomic<bool>& stop);
    Io write(std::span<const float> in, const std::atomic<bool>& stop);
    // How often either direction had to wait for the device so far: a device that never makes us
    // wait (a plugin writing to a file or nowhere) must be paced by the caller.
    uint64_t waits() const { return waits_; }

private:
    struct Direction {
        snd_pcm_t* pcm = nullptr;
        snd_pcm_format_t format = SND_PCM_FORMAT_UNKNOWN;
        int channels = 0;
        std::vector<unsigned char> bytes;  // one block in the device's format
    };
    AlsaDevice() = default;
    bool configure(Direction& direction, snd_pcm_stream_t stream, int channels, std::string& error,
                   const std::string& name);
    Io recover(Direction& direction, int result);
    template <class Transfer>
    Io transfer(Direction& direction, const std::atomic<bool>& stop, Transfer&& move);
    void prefill(int blocks);

    Direction playback_;
    Direction capture_;
    int rate_ = 48000;
    int frames_ = 64;
    int prefillBlocks_ = 2;
    uint64_t waits_ = 0;
};

}  // namespace vornisel::enginehost
