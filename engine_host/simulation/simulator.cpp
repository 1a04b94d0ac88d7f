#include "simulation/simulator.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace vornisel::enginehost {

namespace {

constexpr size_t kMaxEvents = 12;

const std::pair<const char*, const char*> kRecoveries[] = {
    {"network gap, stream resynchronised", ""},
    {"clock drift corrected", ""},
    {"output queue refilled after underrun", "status.recovering"},
};

}  // namespace

Simulator::Simulator(const HostOptions& options)
    : options_(options),
      started_(Clock::now()),
      last_(started_),
      random_(options.clientId ^ static_cast<uint32_t>(started_.time_since_epoch().count())),
      outputPeaks_(options.driverOutputs.size(), 0),
      inputPeaks_(options.driverInputs.size(), 0) {
    set("client_id", options.clientId);
    advance(started_);
}

void Simulator::advance(Clock::time_point now) {
    const double dt = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    updateStatus(std::chrono::duration<double>(now - started_).count());
    if (status_ == 3) {
        phase_ += dt;
        updateLevels();
        updateNetwork(dt);
        updateQueue();
        maybeRecover(dt);
    }
    serialise();
}

void Simulator::updateStatus(double seconds) {
    const double starting = options_.startingMs / 1000.0;
    const double waiting = options_.waitingMs / 1000.0;
    status_ = seconds < starting ? 1 : seconds < starting + waiting ? 2 : 3;
    set("status", status_);
    set("sample_rate", status_ == 3 ? options_.sampleRate : 0);
    set("block_frames", status_ == 3 ? options_.blockFrames : 0);
}

// Peaks follow a slow envelope (phrases) with fast jitter (notes), each channel a little offset.
void Simulator::updateLevels() {
    std::uniform_real_distribution<double> jitter(0.6, 1.0);
    auto move = [&](std::vector<int>& peaks, double offset) {
        for (size_t i = 0; i < peaks.size(); ++i) {
            const double envelope = 0.35 + 0.3 * std::sin(phase_ * 0.7 + offset + 0.9 * i);
            const double target = std::clamp(envelope * jitter(random_), 0.0, 1.0) * 1000.0;
            peaks[i] = static_cast<int>(std::max(target, peaks[i] * 0.85));
        }
    };
    move(outputPeaks_, 0.0);
    move(inputPeaks_, 1.7);
}

void Simulator::updateNetwork(double dt) {
    std::normal_distribution<double> step(0.0, 40.0);
    rtt_ = std::clamp(rtt_ + step(random_), 300.0, 2500.0);
    sync_ = std::clamp(sync_ + step(random_), 150.0, 1800.0);
    const int p50 = static_cast<int>(rtt_);
    set("net_recv_blocks_per_sec", options_.sampleRate / std::max(1, options_.blockFrames));
    set("net_duplicate_blocks_per_sec", random_() % 50 == 0 ? 1 : 0);
    set("net_time_probe_response_count", get("net_time_probe_response_count") + 1);
    set("net_time_probe_last_rtt_microseconds", p50 + static_cast<int>(random_() % 200) - 100);
    set("net_time_probe_min_rtt_microseconds", 250);
    set("net_time_probe_max_rtt_microseconds", p50 * 3);
    set("net_time_probe_p50_rtt_microseconds", p50);
    set("net_time_probe_p95_rtt_microseconds", p50 * 14 / 10);
    set("net_time_probe_p99_rtt_microseconds", p50 * 18 / 10);
    set("net_time_probe_offset_valid", 1);
    set("net_time_probe_offset_rtt_microseconds", p50);
    set("net_time_probe_rtt_bucket_le_1ms", get("net_time_probe_rtt_bucket_le_1ms") + 1);
    set("net_sync_age_sample_count", get("net_sync_age_sample_count") + 1);
    set("net_sync_age_last_microseconds", static_cast<int>(sync_));
    set("net_sync_age_min_microseconds", 120);
    set("net_sync_age_max_microseconds", static_cast<int>(sync_ * 2.5));
    set("net_sync_age_p50_microseconds", static_cast<int>(sync_));
    set("net_sync_age_p95_microseconds", static_cast<int>(sync_ * 1.5));
    set("net_sync_age_p99_microseconds", static_cast<int>(sync_ * 1.9));
    set("net_sync_age_bucket_le_1ms", get("net_sync_age_bucket_le_1ms") + 1);
    counterClock_ += dt;
    // About one underrun a minute, as a marginal link would show.
    if (std::uniform_real_distribution<double>(0, 60)(random_) < dt) {
        set("underrun_count", get("underrun_count") + 1);
        set("playback_dropped_count", get("playback_dropped_count") + options_.blockFrames);
    }
}

void Simulator::updateQueue() {
    const int target = options_.latencyBlocks * options_.blockFrames;
    std::normal_distribution<double> wobble(0.0, options_.blockFrames / 4.0);
    const int depth = std::max(0, target + static_cast<int>(wobble(random_)));
    const int rate = std::max(1, options_.sampleRate);
    const int callbacks = rate / std::max(1, options_.blockFrames);
    set("asio_recv_blocks_per_sec", callbacks);
    set("asio_callbacks_per_sec", callbacks);
    set("asio_dequeued_blocks_per_sec", callbacks);
    set("asio_queue_depth_frames", depth);
    set("asio_queue_min_frames", std::max(0, target - options_.blockFrames));
    set("asio_queue_max_frames", target + options_.blockFrames);
    set("asio_queue_target_frames", target);
    set("asio_queue_error_frames", depth - target);
    set("asio_queue_depth_microseconds", static_cast<int64_t>(depth) * 1000000 / rate);
    set("asio_queue_depth_centi_blocks", depth * 100 / std::max(1, options_.blockFrames));
    set("asio_pll_ratio_ppm", static_cast<int>(random_() % 40) - 20);
    set("asio_callback_processing_last_microseconds", 40 + static_cast<int>(random_() % 60));
    set("asio_callback_processing_max_microseconds", 180);
    set("output_recv_to_append_last_microseconds", 30 + static_cast<int>(random_() % 30));
    set("output_recv_to_append_max_microseconds", 150);
    set("output_append_to_consume_last_microseconds", depth * 1000000 / rate);
    set("output_append_to_consume_max_microseconds",
        (target + options_.blockFrames) * 1000000 / rate);
    set("output_server_to_consume_last_microseconds",
        static_cast<int>(rtt_ / 2) + depth * 1000000 / rate);
    set("output_server_to_consume_max_microseconds", static_cast<int>(rtt_ * 2));
}

void Simulator::maybeRecover(double dt) {
    // Now and then, about every half minute.
    if (std::uniform_real_distribution<double>(0, 30)(random_) >= dt) return;
    const auto& [reason, key] = kRecoveries[random_() % std::size(kRecoveries)];
    events_.emplace_back(reason, key);
    if (events_.size() > kMaxEvents) events_.pop_front();
}

void Simulator::serialise() {
    const bool running = status_ == 3;
    auto state = stateHead(options_, {status_, "", running ? options_.sampleRate : 0});
    appendLevelsAndEvents(state, options_, running ? inputPeaks_ : std::vector<int>{},
                          running ? outputPeaks_ : std::vector<int>{}, events_);
    reply_ = state.dump();
}

void Simulator::set(std::string_view name, int64_t value) {
    const size_t index = host::fieldIndex(name);
    if (index < stats_.size()) stats_[index] = static_cast<int32_t>(value);
}

int32_t Simulator::get(std::string_view name) const {
    const size_t index = host::fieldIndex(name);
    return index < stats_.size() ? stats_[index] : 0;
}

}  // namespace vornisel::enginehost
