#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "audio/alsa_device.h"
#include "audio/routes.h"
#include "queue/jitter_queue.h"

namespace vornisel::enginehost {

// The audio thread: opens the device (again every two seconds while it cannot), then, block by
// block, records the hardware inputs, hands them on as driver channels, and plays the next block
// of the jitter queue on the hardware outputs. A device that does not make it wait (ALSA's null
// and file plugins) is paced by the monotonic clock instead.
class AudioLoop {
public:
    enum class DeviceState { Opening, Running, Failed };
    // Measures for the statistics block and the state reply; counters only grow.
    struct Measures {
        DeviceState state = DeviceState::Opening;
        int rate = 0;
        uint64_t blocks = 0;
        uint64_t underruns = 0;
        uint64_t overruns = 0;
        uint64_t playbackDroppedFrames = 0;
        uint64_t captureDroppedFrames = 0;
        int64_t processingLastUs = 0;
        int64_t processingMaxUs = 0;
    };
    // The network as the audio thread sees it: send whole blocks (one or a few, interleaved),
    // take in what came, and hear that the device stopped.
    struct Network {
        std::function<void(std::span<const float> samples, int channels)> send;
        std::function<void()> receive;
        std::function<void()> stopped;
    };
    // A device that never makes the engine wait is run this many blocks a wake at most, and never
    // more than half the jitter queue's latency: fewer wake-ups, and fewer, larger datagrams. With
    // as many as the latency, the stream test lost blocks on a loaded machine.
    static constexpr int kMostBlocksPerWake = 4;

    AudioLoop(std::string device, Routes routes, int rate, JitterQueue& queue, Network network,
              uint32_t clientId);
    ~AudioLoop();
    AudioLoop(const AudioLoop&) = delete;
    AudioLoop& operator=(const AudioLoop&) = delete;

    Measures measures() const;
    // Why the device is not running; "" while it runs.
    std::string error() const;
    // The largest peak of each route since the last call, in thousandths of full scale.
    std::vector<int> takeInputPeaks();
    std::vector<int> takeOutputPeaks();

private:
    void run();
    bool openDevice();
    bool streamFits(std::string& error) const;
    void stream();
    bool processBlocks(int count);
    bool processBlock(int index);
    void setRealTimePriority();
    bool waitBeforeRetry();

    const std::string device_;
    const Routes routes_;
    const int wishedRate_;
    JitterQueue& queue_;
    const Network network_;
    const uint32_t clientId_;
    std::unique_ptr<AlsaDevice> alsa_;
    // One block in each layout, taken before the thread starts.
    std::vector<float> hardwareIn_, driverIn_, driverOut_, hardwareOut_;
    std::unique_ptr<std::atomic<int>[]> inputPeaks_, outputPeaks_;

    std::atomic<bool> stopping_{false};
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    mutable std::mutex errorMutex_;
    std::string error_;
    std::atomic<DeviceState> state_{DeviceState::Opening};
    std::atomic<int> rate_{0};
    std::atomic<uint64_t> blocks_{0}, underruns_{0}, overruns_{0}, playbackDropped_{0},
        captureDropped_{0};
    std::atomic<int64_t> processingLast_{0}, processingMax_{0};
    std::thread thread_;
};

}  // namespace vornisel::enginehost
