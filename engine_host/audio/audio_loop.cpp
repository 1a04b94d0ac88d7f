#include "audio/audio_loop.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "network/monotonic.h"
#include "network/wire.h"

namespace vornisel::enginehost {

namespace {

constexpr auto kRetry = std::chrono::seconds(2);
// Blocks of silence the playback side starts with: its share of the latency.
constexpr int kPrefillBlocks = 2;
constexpr int kRealTimePriority = 70;

void notePeak(std::atomic<int>& peak, std::span<const float> block, int channels, int channel) {
    float largest = 0;
    for (size_t i = static_cast<size_t>(channel); i < block.size();
         i += static_cast<size_t>(channels))
        largest = std::max(largest, std::fabs(block[i]));
    const int milli = static_cast<int>(std::lround(std::min(largest, 1.0f) * 1000.0f));
    if (milli > peak.load(std::memory_order_relaxed)) peak.store(milli, std::memory_order_relaxed);
}

void sleepUntil(int64_t micros) {
    timespec until{static_cast<time_t>(micros / 1000000),
                   static_cast<long>((micros % 1000000) * 1000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

std::vector<int> take(std::atomic<int>* peaks, size_t count) {
    std::vector<int> values(count);
    for (size_t i = 0; i < count; ++i)
        values[i] = peaks[i].exchange(0, std::memory_order_relaxed);
    return values;
}

}  // namespace

AudioLoop::AudioLoop(std::string device, Routes routes, int rate, JitterQueue& queue,
                     Network network, uint32_t clientId)
    : device_(std::move(device)),
      routes_(std::move(routes)),
      wishedRate_(rate),
      queue_(queue),
      network_(std::move(network)),
      clientId_(clientId),
      inputPeaks_(new std::atomic<int>[routes_.inputMap.size()]()),
      outputPeaks_(new std::atomic<int>[routes_.outputMap.size()]()) {
    thread_ = std::thread(&AudioLoop::run, this);
}

AudioLoop::~AudioLoop() {
    {
        std::lock_guard lock(wakeMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void AudioLoop::run() {
    setRealTimePriority();
    while (!stopping_) {
        if (openDevice()) stream();
        network_.stopped();
        alsa_.reset();
        if (!waitBeforeRetry()) return;
    }
}

void AudioLoop::setRealTimePriority() {
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    const int result = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    std::cout << "engine host " << clientId_ << ": audio thread "
              << (result == 0 ? "runs at real-time priority " + std::to_string(kRealTimePriority)
                              : std::string("runs at ordinary priority (real-time not allowed)"))
              << std::endl;
}

bool AudioLoop::waitBeforeRetry() {
    std::unique_lock lock(wakeMutex_);
    return !wake_.wait_for(lock, kRetry, [this] { return stopping_.load(); });
}

// A stream wider than a datagram's channels is refused here, rather than streamed as silence.
bool AudioLoop::streamFits(std::string& error) const {
    const int channels = routes_.streamChannels();
    if (channels <= wire::kMaxChannels) return true;
    error = "a stream of " + std::to_string(channels) + " channels is wider than the " +
            std::to_string(wire::kMaxChannels) + " a datagram carries";
    return false;
}

bool AudioLoop::openDevice() {
    AlsaDevice::Request request{device_, routes_.hardwareOutputs(), routes_.hardwareInputs(),
                                wishedRate_, queue_.frames()};
    std::string error;
    if (request.playbackChannels == 0 && request.captureChannels == 0)
        error = "no channel of " + device_ + " is routed";
    else if (device_.empty())
        error = "no audio device is configured";
    else if (streamFits(error))
        alsa_ = AlsaDevice::open(request, error);
    if (alsa_ && !alsa_->start(kPrefillBlocks)) error = "cannot start " + device_;
    if (!error.empty()) alsa_.reset();
    const bool firstReport = state_ != DeviceState::Failed || this->error() != error;
    {
        std::lock_guard lock(errorMutex_);
        error_ = error;
    }
    if (!alsa_) {
        state_ = DeviceState::Failed;
        if (firstReport) std::cout << "engine host " << clientId_ << ": " << error << std::endl;
        return false;
    }
    const size_t frames = static_cast<size_t>(queue_.frames());
    hardwareIn_.assign(frames * static_cast<size_t>(alsa_->captureChannels()), 0.0f);
    driverIn_.assign(frames * static_cast<size_t>(routes_.streamChannels() * kMostBlocksPerWake),
                     0.0f);
    driverOut_.assign(frames * static_cast<size_t>(queue_.channels()), 0.0f);
    hardwareOut_.assign(frames * static_cast<size_t>(alsa_->playbackChannels()), 0.0f);
    rate_ = alsa_->rate();
    state_ = DeviceState::Running;
    std::cout << "engine host " << clientId_ << ": " << device_ << " runs at " << alsa_->rate()
              << " Hz, " << frames << " frames a block, " << alsa_->playbackChannels()
              << " outputs and " << alsa_->captureChannels() << " inputs" << std::endl;
    return true;
}

// Streams until stopped or the device fails. The clock takes over pacing while the device does
// not make us wait: such a device (a plugin that writes to a file or nowhere) would otherwise be
// run as fast as the processor goes. The clock then wakes the thread once per few blocks, which
// are processed together and leave in one datagram.
void AudioLoop::stream() {
    const int64_t blockUs = static_cast<int64_t>(queue_.frames()) * 1000000 / alsa_->rate();
    const int paced = std::clamp(queue_.latencyBlocks() / 2, 1, kMostBlocksPerWake);
    int64_t anchor = monotonicMicros();
    uint64_t sinceAnchor = 0;
    int perWake = 1;
    while (!stopping_) {
        const uint64_t waits = alsa_->waits();
        if (!processBlocks(perWake)) {
            state_ = DeviceState::Failed;
            std::lock_guard lock(errorMutex_);
            if (error_.empty()) error_ = device_ + " stopped working";
            std::cout << "engine host " << clientId_ << ": " << error_ << std::endl;
            return;
        }
        const int64_t now = monotonicMicros();
        sinceAnchor += static_cast<uint64_t>(perWake);
        const int64_t due = anchor + static_cast<int64_t>(sinceAnchor) * blockUs;
        if (alsa_->waits() != waits || now > due + 100 * blockUs) {
            anchor = now;
            sinceAnchor = 0;
            perWake = 1;
        } else {
            perWake = paced;
            if (now < due) sleepUntil(due);
        }
    }
}

bool AudioLoop::processBlocks(int count) {
    for (int i = 0; i < count; ++i)
        if (!processBlock(i)) return false;
    const size_t samples = static_cast<size_t>(queue_.frames()) *
                           static_cast<size_t>(routes_.streamChannels()) *
                           static_cast<size_t>(count);
    network_.send(std::span<const float>(driverIn_).first(samples), routes_.streamChannels());
    return true;
}

// Records block `index` of this wake into its place of driverIn_ and plays the queue's next. The
// server's answers are taken in once a wake, after the device's wait for the first block.
bool AudioLoop::processBlock(int index) {
    const int frames = queue_.frames();
    if (alsa_->hasCapture()) {
        const auto io = alsa_->read(hardwareIn_, stopping_);
        if (io == AlsaDevice::Io::Failed) return false;
        if (io == AlsaDevice::Io::Xrun) {
            overruns_.fetch_add(1, std::memory_order_relaxed);
            captureDropped_.fetch_add(static_cast<uint64_t>(frames), std::memory_order_relaxed);
            std::fill(hardwareIn_.begin(), hardwareIn_.end(), 0.0f);
        }
    }
    if (index == 0) network_.receive();
    const int64_t started = monotonicMicros();
    for (size_t i = 0; i < routes_.inputMap.size(); ++i)
        if (routes_.inputMap[i] >= 0 && routes_.inputMap[i] < alsa_->captureChannels())
            notePeak(inputPeaks_[i], hardwareIn_, alsa_->captureChannels(), routes_.inputMap[i]);
    const size_t blockSamples = static_cast<size_t>(frames * routes_.streamChannels());
    routes_.toDriver(
        hardwareIn_, alsa_->captureChannels(),
        std::span(driverIn_).subspan(static_cast<size_t>(index) * blockSamples, blockSamples),
        frames);
    queue_.pop(driverOut_, started);
    routes_.toHardware(driverOut_, hardwareOut_, alsa_->playbackChannels(), frames);
    for (size_t i = 0; i < routes_.outputMap.size(); ++i)
        if (routes_.outputMap[i] >= 0 && routes_.outputMap[i] < alsa_->playbackChannels())
            notePeak(outputPeaks_[i], hardwareOut_, alsa_->playbackChannels(),
                     routes_.outputMap[i]);
    const int64_t processing = monotonicMicros() - started;
    processingLast_.store(processing, std::memory_order_relaxed);
    if (processing > processingMax_.load(std::memory_order_relaxed))
        processingMax_.store(processing, std::memory_order_relaxed);
    if (alsa_->hasPlayback()) {
        const auto io = alsa_->write(hardwareOut_, stopping_);
        if (io == AlsaDevice::Io::Failed) return false;
        if (io == AlsaDevice::Io::Xrun) {
            underruns_.fetch_add(1, std::memory_order_relaxed);
            playbackDropped_.fetch_add(static_cast<uint64_t>(frames), std::memory_order_relaxed);
        }
    }
    blocks_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

AudioLoop::Measures AudioLoop::measures() const {
    return {state_.load(),          rate_.load(),           blocks_.load(),
            underruns_.load(),      overruns_.load(),       playbackDropped_.load(),
            captureDropped_.load(), processingLast_.load(), processingMax_.load()};
}

std::string AudioLoop::error() const {
    std::lock_guard lock(errorMutex_);
    return error_;
}

std::vector<int> AudioLoop::takeInputPeaks() {
    return take(inputPeaks_.get(), routes_.inputMap.size());
}

std::vector<int> AudioLoop::takeOutputPeaks() {
    return take(outputPeaks_.get(), routes_.outputMap.size());
}

}  // namespace vornisel::enginehost
