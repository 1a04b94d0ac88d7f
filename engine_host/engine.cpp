#include "engine.h"

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>

#include "network/monotonic.h"

namespace vornisel::enginehost {

namespace {

// The server counts as there while it answered within this time, and audio as flowing while a
// block went each way within the shorter one.
constexpr int64_t kServerQuietUs = 2000000;
constexpr int64_t kAudioQuietUs = 500000;
constexpr size_t kMaxEvents = 12;
constexpr int kDeviceError = 1;
// Meters fall back by this much a tick, as a meter's needle would.
constexpr double kLevelFall = 0.7;

Routes routesOf(const HostOptions& options) {
    return {options.outputMap, options.driverOutputs, options.inputMap, options.driverInputs};
}

bool recent(int64_t when, int64_t now, int64_t within) {
    return when != 0 && now - when <= within;
}

}  // namespace

Engine::Engine(const HostOptions& options)
    : options_(options),
      queue_(options.latencyBlocks, options.blockFrames, routesOf(options).driverOutputChannels()),
      link_({options.clientId, options.server, options.port}, queue_),
      audio_(options.device, routesOf(options), options.sampleRate, queue_, audioNetwork(),
             options.clientId),
      inputLevels_(options.inputMap.size(), 0),
      outputLevels_(options.outputMap.size(), 0) {
    setStatistic(stats_, "client_id", options.clientId);
    setStatistic(stats_, "status", status_);
    previous_.atUs = monotonicMicros();
    serialise();
}

AudioLoop::Network Engine::audioNetwork() {
    return {[this](std::span<const float> samples, int channels) {
                link_.sendAudio(samples, channels);
            },
            [this] { link_.receiveOnAudioThread(); }, [this] { link_.audioStopped(); }};
}

// The audio thread goes first (it sends through the link and reads the queue), then the link.
Engine::~Engine() = default;

void Engine::advance(Clock::time_point) {
    const int64_t now = monotonicMicros();
    const AudioLoop::Measures audio = audio_.measures();
    const ServerLink::Health link = link_.health();
    updateStatus(now, audio, link);
    writeNetwork(link);
    writeQueue(now, audio);
    writeAudio(audio, queue_.counters());
    updateLevels();
    serialise();
}

void Engine::updateStatus(int64_t now, const AudioLoop::Measures& audio,
                          const ServerLink::Health& link) {
    error_.clear();
    if (audio.state == AudioLoop::DeviceState::Failed) {
        status_ = 7;
        error_ = "status.device_unavailable";
    } else if (audio.state == AudioLoop::DeviceState::Opening) {
        status_ = 1;
    } else {
        const bool answered = recent(link.lastReplyUs, now, kServerQuietUs);
        const bool flowing = recent(link.lastAudioInUs, now, kAudioQuietUs) &&
                             recent(link.lastAudioOutUs, now, kAudioQuietUs);
        status_ = answered && flowing ? 3 : 2;
    }
    if ((status_ == 3) != streaming_) {
        streaming_ = status_ == 3;
        if (streaming_ && link.blocksSent > 0) noteEvent("audio flows with the server", "");
        std::cout << "engine host " << options_.clientId << ": "
                  << (streaming_ ? "streaming" : "waiting for the server") << std::endl;
    }
    setStatistic(stats_, "status", status_);
    setStatistic(stats_, "last_error_code", status_ == 7 ? kDeviceError : 0);
    setStatistic(stats_, "sample_rate", status_ == 3 ? audio.rate : 0);
    setStatistic(stats_, "block_frames", status_ == 3 ? options_.blockFrames : 0);
}

void Engine::writeNetwork(const ServerLink::Health& link) {
    setStatistic(stats_, "net_time_probe_response_count",
                 static_cast<int64_t>(link.probesAnswered));
    setStatistic(stats_, "net_time_probe_timeout_count", static_cast<int64_t>(link.probesTimedOut));
    link_.roundTrips().write(
        stats_, {"net_time_probe_response_count", "net_time_probe_last_rtt_microseconds",
                 "net_time_probe_min_rtt_microseconds", "net_time_probe_max_rtt_microseconds",
                 "net_time_probe_p50_rtt_microseconds", "net_time_probe_p95_rtt_microseconds",
                 "net_time_probe_p99_rtt_microseconds", "net_time_probe_rtt_bucket_le_250us"});
    setStatistic(stats_, "net_time_probe_offset_valid", link.offsetValid ? 1 : 0);
    setStatistic(stats_, "net_time_probe_offset_rtt_microseconds", link.offsetRttUs);
    link_.syncAges().write(stats_,
                           {"net_sync_age_sample_count", "net_sync_age_last_microseconds",
                            "net_sync_age_min_microseconds", "net_sync_age_max_microseconds",
                            "net_sync_age_p50_microseconds", "net_sync_age_p95_microseconds",
                            "net_sync_age_p99_microseconds", "net_sync_age_bucket_le_250us"});
    setStatistic(stats_, "output_recv_to_append_last_microseconds", link.recvToAppendLastUs);
    setStatistic(stats_, "output_recv_to_append_max_microseconds", link.recvToAppendMaxUs);
}

// Rates are counted over whole seconds; depth extremes over the same second.
void Engine::writeQueue(int64_t now, const AudioLoop::Measures& audio) {
    const JitterQueue::Counters counters = queue_.counters();
    if (now - previous_.atUs >= 1000000) {
        const double seconds = static_cast<double>(now - previous_.atUs) / 1e6;
        auto perSecond = [&](uint64_t current, uint64_t before) {
            return static_cast<int64_t>(static_cast<double>(current - before) / seconds + 0.5);
        };
        const int64_t received = perSecond(counters.received, previous_.received);
        setStatistic(stats_, "net_recv_blocks_per_sec", received);
        setStatistic(stats_, "asio_recv_blocks_per_sec", received);
        setStatistic(stats_, "net_duplicate_blocks_per_sec",
                     perSecond(counters.duplicates, previous_.duplicates));
        setStatistic(stats_, "asio_callbacks_per_sec",
                     perSecond(audio.blocks, previous_.callbacks));
        setStatistic(stats_, "asio_dequeued_blocks_per_sec",
                     perSecond(counters.played, previous_.played));
        previous_ = {now, counters.received, counters.duplicates, audio.blocks, counters.played};
        depthRange_ = queue_.takeDepthRange();
    }
    const int64_t frames = options_.blockFrames;
    const int64_t depth = queue_.depthBlocks() * frames;
    const int64_t target = static_cast<int64_t>(queue_.latencyBlocks()) * frames;
    const int64_t rate = std::max(1, audio.rate);
    setStatistic(stats_, "asio_queue_depth_frames", depth);
    setStatistic(stats_, "asio_queue_min_frames", depthRange_.first * frames);
    setStatistic(stats_, "asio_queue_max_frames", depthRange_.second * frames);
    setStatistic(stats_, "asio_queue_target_frames", target);
    setStatistic(stats_, "asio_queue_error_frames", depth - target);
    setStatistic(stats_, "asio_queue_depth_microseconds", audio.rate ? depth * 1000000 / rate : 0);
    setStatistic(stats_, "asio_queue_depth_centi_blocks", depth * 100 / frames);
    const JitterQueue::Waits waits = queue_.takeWaits();
    setStatistic(stats_, "output_append_to_consume_last_microseconds", waits.queuedLastUs);
    setStatistic(stats_, "output_append_to_consume_max_microseconds", waits.queuedMaxUs);
    setStatistic(stats_, "output_server_to_consume_last_microseconds", waits.fromServerLastUs);
    setStatistic(stats_, "output_server_to_consume_max_microseconds", waits.fromServerMaxUs);
}

void Engine::writeAudio(const AudioLoop::Measures& audio, const JitterQueue::Counters& queue) {
    setStatistic(stats_, "asio_callback_processing_last_microseconds", audio.processingLastUs);
    setStatistic(stats_, "asio_callback_processing_max_microseconds", audio.processingMaxUs);
    setStatistic(stats_, "underrun_count", static_cast<int64_t>(audio.underruns));
    setStatistic(stats_, "overrun_count", static_cast<int64_t>(audio.overruns));
    // Frames the device never played: its own underruns, and blocks the network lost or brought
    // too late.
    const uint64_t missed =
        (queue.lost + queue.late + queue.overflows) * static_cast<uint64_t>(options_.blockFrames);
    setStatistic(stats_, "playback_dropped_count",
                 static_cast<int64_t>(audio.playbackDroppedFrames + missed));
    setStatistic(stats_, "capture_dropped_count", static_cast<int64_t>(audio.captureDroppedFrames));
    if (audio.underruns > lastUnderruns_) noteEvent("playback underrun", "status.recovering");
    if (audio.overruns > lastOverruns_) noteEvent("capture overrun", "status.recovering");
    lastUnderruns_ = audio.underruns;
    lastOverruns_ = audio.overruns;
}

void Engine::updateLevels() {
    auto fall = [](std::vector<int>& levels, const std::vector<int>& peaks) {
        for (size_t i = 0; i < levels.size() && i < peaks.size(); ++i)
            levels[i] = std::max(peaks[i], static_cast<int>(levels[i] * kLevelFall));
    };
    fall(inputLevels_, audio_.takeInputPeaks());
    fall(outputLevels_, audio_.takeOutputPeaks());
}

void Engine::noteEvent(std::string reason, std::string key) {
    events_.emplace_back(std::move(reason), std::move(key));
    if (events_.size() > kMaxEvents) events_.pop_front();
}

void Engine::serialise() {
    const int rate = status_ == 3 ? stats_[host::fieldIndex("sample_rate")] : 0;
    auto state = stateHead(options_, {status_, error_, rate});
    state["serverAddress"] = link_.serverName();
    state["device"] = options_.device;
    state["deviceError"] = audio_.error();
    appendLevelsAndEvents(state, options_, inputLevels_, outputLevels_, events_);
    reply_ = state.dump();
}

}  // namespace vornisel::enginehost
