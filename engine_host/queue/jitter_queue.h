#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <span>

namespace vornisel::enginehost {

// The blocks that came from the server, waiting to be played: filled by the network thread,
// emptied by the audio thread, one block per audio period. Playback starts once `latency` blocks
// are queued and then always plays the next sequence number: a block that is not there by then
// is lost and played as the previous block faded out (silence after that); one that comes after
// its turn is late and dropped. All memory is taken up front; push and pop never allocate or
// lock.
class JitterQueue {
public:
    enum class Arrival { Queued, Duplicate, Late, Overflow };

    struct Counters {
        uint64_t received = 0;
        uint64_t duplicates = 0;
        uint64_t late = 0;
        uint64_t overflows = 0;
        uint64_t lost = 0;
        uint64_t played = 0;
    };

    JitterQueue(int latencyBlocks, int frames, int channels);

    // Network thread: block `sequence`, interleaved with `channels` samples a frame (fewer or
    // more than the queue's own are cut or left silent), received at `arrivedUs` and sent by the
    // server at `originUs` (both on our monotonic clock; 0 when the server's clock is unknown).
    Arrival push(uint32_t sequence, std::span<const float> samples, int channels,
                 int64_t arrivedUs = 0, int64_t originUs = 0) {
        return pushPart(sequence, 0, samples, channels, arrivedUs, originUs);
    }
    // The same for the frames of block `sequence` from `offsetFrames` on, for a block that came in
    // parts: it is queued once its frames are all in. A part that comes twice completes its block
    // early, with the missing part silent.
    Arrival pushPart(uint32_t sequence, int offsetFrames, std::span<const float> samples,
                     int channels, int64_t arrivedUs = 0, int64_t originUs = 0);
    // Audio thread: fills `out` (frames x channels of the queue) with the next block, taken at
    // `nowUs`. False when it played no received block (still filling up, or the block was lost).
    bool pop(std::span<float> out, int64_t nowUs = 0);

    int latencyBlocks() const { return latency_; }
    int frames() const { return frames_; }
    int channels() const { return channels_; }
    // Blocks queued ahead of the play head, 0 while filling up.
    int depthBlocks() const;
    // The smallest and largest depth seen by pop since the last call; resets them.
    std::pair<int, int> takeDepthRange();
    Counters counters() const;
    // How long the last block played waited in the queue, and since the server sent it; with the
    // largest of each since the last call, which resets them.
    struct Waits {
        int64_t queuedLastUs = 0, queuedMaxUs = 0, fromServerLastUs = 0, fromServerMaxUs = 0;
    };
    Waits takeWaits();

private:
    struct Slot {
        std::atomic<int64_t> sequence{-1};
        int64_t assembling = -1;  // the block whose parts are coming in, and how many frames came
        int filled = 0;
        int64_t arrivedUs = 0;
        int64_t originUs = 0;
    };
    float* slotSamples(size_t index) { return samples_.get() + index * blockSize_; }
    size_t slotOf(uint32_t sequence) const { return sequence % capacity_; }
    bool startPlaying();
    void conceal(std::span<float> out);
    void noteDepth();

    const int latency_;
    const int frames_;
    const int channels_;
    const size_t capacity_;
    const size_t blockSize_;
    std::unique_ptr<Slot[]> slots_;
    std::unique_ptr<float[]> samples_;
    std::unique_ptr<float[]> previous_;
    // Written by the network thread.
    std::atomic<bool> needFirst_{true};
    std::atomic<uint32_t> first_{0};
    std::atomic<uint32_t> highest_{0};
    std::atomic<uint64_t> received_{0}, duplicates_{0}, late_{0}, overflows_{0};
    bool cleared_ = false;
    // Written by the audio thread.
    std::atomic<bool> playing_{false};
    std::atomic<uint32_t> next_{0};
    std::atomic<uint64_t> lost_{0}, played_{0};
    std::atomic<int> minDepth_{INT_MAX}, maxDepth_{0};
    std::atomic<int64_t> queuedLast_{0}, queuedMax_{0}, fromServerLast_{0}, fromServerMax_{0};
    int missingInRow_ = 0;
    bool previousValid_ = false;
};

}  // namespace vornisel::enginehost
