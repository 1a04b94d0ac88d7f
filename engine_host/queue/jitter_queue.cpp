#include "queue/jitter_queue.h"

#include <algorithm>
#include <climits>

namespace vornisel::enginehost {

namespace {

// Signed distance from `from` to `to` in a sequence space that wraps at 2^32.
int64_t ahead(uint32_t from, uint32_t to) {
    return static_cast<int32_t>(to - from);
}

void noteWait(std::atomic<int64_t>& last, std::atomic<int64_t>& largest, int64_t since,
              int64_t now) {
    if (since == 0 || now == 0) return;
    const int64_t wait = std::max<int64_t>(0, now - since);
    last.store(wait, std::memory_order_relaxed);
    if (wait > largest.load(std::memory_order_relaxed))
        largest.store(wait, std::memory_order_relaxed);
}

}  // namespace

JitterQueue::JitterQueue(int latencyBlocks, int frames, int channels)
    : latency_(std::max(1, latencyBlocks)),
      frames_(std::max(1, frames)),
      channels_(std::max(1, channels)),
      // Room for the target, a burst as long again, and a little slack.
      capacity_(static_cast<size_t>(2 * latency_ + 4)),
      blockSize_(static_cast<size_t>(frames_) * static_cast<size_t>(channels_)),
      slots_(new Slot[capacity_]),
      samples_(new float[capacity_ * blockSize_]()),
      previous_(new float[blockSize_]()) {}

JitterQueue::Arrival JitterQueue::pushPart(uint32_t sequence, int offsetFrames,
                                           std::span<const float> samples, int channels,
                                           int64_t arrivedUs, int64_t originUs) {
    // A new stream forgets the old one's blocks once, and starts at its first whole block.
    const bool fresh = needFirst_.load(std::memory_order_acquire);
    if (fresh && !cleared_) {
        for (size_t i = 0; i < capacity_; ++i) {
            slots_[i].sequence.store(-1, std::memory_order_relaxed);
            slots_[i].assembling = -1;
        }
        cleared_ = true;
    } else if (!fresh && playing_.load(std::memory_order_acquire)) {
        const int64_t distance = ahead(next_.load(std::memory_order_acquire), sequence);
        if (distance < 0) {
            late_.fetch_add(1, std::memory_order_relaxed);
            return Arrival::Late;
        }
        if (distance >= static_cast<int64_t>(capacity_)) {
            overflows_.fetch_add(1, std::memory_order_relaxed);
            return Arrival::Overflow;
        }
    }
    Slot& slot = slots_[slotOf(sequence)];
    if (slot.sequence.load(std::memory_order_acquire) == sequence) {
        duplicates_.fetch_add(1, std::memory_order_relaxed);
        return Arrival::Duplicate;
    }
    float* block = slotSamples(slotOf(sequence));
    const int given = std::max(1, channels);
    const int offset = std::clamp(offsetFrames, 0, frames_);
    const int frames = std::min<int>(frames_ - offset, static_cast<int>(samples.size()) / given);
    if (slot.assembling != sequence) {
        std::fill(block, block + blockSize_, 0.0f);
        slot.assembling = sequence;
        slot.filled = 0;
    }
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < std::min(given, channels_); ++c)
            block[(offset + f) * channels_ + c] = samples[static_cast<size_t>(f * given + c)];
    slot.filled += frames;
    if (slot.filled < frames_) return Arrival::Queued;
    slot.assembling = -1;
    slot.arrivedUs = arrivedUs;
    slot.originUs = originUs;
    slot.sequence.store(sequence, std::memory_order_release);
    if (fresh) {
        first_.store(sequence, std::memory_order_relaxed);
        highest_.store(sequence, std::memory_order_relaxed);
        cleared_ = false;
        needFirst_.store(false, std::memory_order_release);
    } else if (ahead(highest_.load(std::memory_order_relaxed), sequence) > 0) {
        highest_.store(sequence, std::memory_order_release);
    }
    received_.fetch_add(1, std::memory_order_relaxed);
    return Arrival::Queued;
}

bool JitterQueue::startPlaying() {
    if (needFirst_.load(std::memory_order_acquire)) return false;
    const uint32_t first = first_.load(std::memory_order_relaxed);
    const uint32_t highest = highest_.load(std::memory_order_acquire);
    if (ahead(first, highest) + 1 < latency_) return false;
    next_.store(highest - static_cast<uint32_t>(latency_) + 1, std::memory_order_release);
    playing_.store(true, std::memory_order_release);
    missingInRow_ = 0;
    return true;
}

bool JitterQueue::pop(std::span<float> out, int64_t nowUs) {
    const size_t size = std::min(out.size(), blockSize_);
    if (!playing_.load(std::memory_order_relaxed) && !startPlaying()) {
        std::fill(out.begin(), out.end(), 0.0f);
        return false;
    }
    noteDepth();
    const uint32_t sequence = next_.load(std::memory_order_relaxed);
    Slot& slot = slots_[slotOf(sequence)];
    const bool present = slot.sequence.load(std::memory_order_acquire) == sequence;
    if (present) {
        const float* block = slotSamples(slotOf(sequence));
        std::copy(block, block + size, out.begin());
        std::copy(block, block + blockSize_, previous_.get());
        previousValid_ = true;
        missingInRow_ = 0;
        noteWait(queuedLast_, queuedMax_, slot.arrivedUs, nowUs);
        noteWait(fromServerLast_, fromServerMax_, slot.originUs, nowUs);
        played_.fetch_add(1, std::memory_order_relaxed);
    } else {
        conceal(out.first(size));
        lost_.fetch_add(1, std::memory_order_relaxed);
        ++missingInRow_;
    }
    std::fill(out.begin() + static_cast<ptrdiff_t>(size), out.end(), 0.0f);
    next_.store(sequence + 1, std::memory_order_release);
    // A whole queue's worth missing in a row: the stream stopped or jumped. Start again from
    // whatever comes next.
    if (missingInRow_ >= static_cast<int>(capacity_)) {
        playing_.store(false, std::memory_order_release);
        needFirst_.store(true, std::memory_order_release);
    }
    return present;
}

// The previous block again, fading to nothing over its length, so a single gap does not click;
// silence after that.
void JitterQueue::conceal(std::span<float> out) {
    if (!previousValid_) {
        std::fill(out.begin(), out.end(), 0.0f);
        return;
    }
    for (int f = 0; f < frames_; ++f) {
        const float gain = 1.0f - static_cast<float>(f + 1) / static_cast<float>(frames_);
        for (int c = 0; c < channels_; ++c) {
            const size_t i = static_cast<size_t>(f * channels_ + c);
            if (i < out.size()) out[i] = previous_[i] * gain;
        }
    }
    previousValid_ = false;
}

int JitterQueue::depthBlocks() const {
    if (!playing_.load(std::memory_order_acquire)) return 0;
    const int64_t depth =
        ahead(next_.load(std::memory_order_acquire), highest_.load(std::memory_order_acquire)) + 1;
    return static_cast<int>(std::clamp<int64_t>(depth, 0, static_cast<int64_t>(capacity_)));
}

void JitterQueue::noteDepth() {
    const int depth = depthBlocks();
    if (depth < minDepth_.load(std::memory_order_relaxed))
        minDepth_.store(depth, std::memory_order_relaxed);
    if (depth > maxDepth_.load(std::memory_order_relaxed))
        maxDepth_.store(depth, std::memory_order_relaxed);
}

std::pair<int, int> JitterQueue::takeDepthRange() {
    const int low = minDepth_.exchange(INT_MAX);
    const int high = maxDepth_.exchange(0);
    if (low == INT_MAX) return {depthBlocks(), depthBlocks()};
    return {low, high};
}

JitterQueue::Waits JitterQueue::takeWaits() {
    return {queuedLast_.load(), queuedMax_.exchange(0), fromServerLast_.load(),
            fromServerMax_.exchange(0)};
}

JitterQueue::Counters JitterQueue::counters() const {
    return {received_.load(),  duplicates_.load(), late_.load(),
            overflows_.load(), lost_.load(),       played_.load()};
}

}  // namespace vornisel::enginehost
