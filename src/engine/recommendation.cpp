// The latency recommendation of ClientRuntime: a better block count from the engine's audio
// format and the statistics history.
#include <algorithm>
#include <array>
#include <cmath>

#include "engine/client_runtime.h"
#include "l10n/localizer.h"

namespace vornisel {

namespace {

constexpr double kShortestSafeMilliseconds = 8.0 / 3.0;
constexpr int kLargestFloor = 64;
constexpr int kMinBlocks = 1;
constexpr int kMaxBlocks = 128;

using Proposal = std::optional<std::pair<int, std::string>>;

Proposal propose(int blocks, const char* key) {
    return std::make_pair(blocks, Localizer::shared().text(key, {}));
}

// The smallest power of two, 1 to 64, whose blocks together last at least the safe minimum.
int safeFloor(double block) {
    const double k = std::ceil(std::log2(kShortestSafeMilliseconds / block));
    if (k < 0) return 1;
    if (k >= 6) return kLargestFloor;
    return 1 << static_cast<int>(k);
}

bool underPressure(const Telemetry& first, const Telemetry& last) {
    for (const char* name : {"underrun_count", "playback_dropped_count", "capture_dropped_count",
                             "net_time_probe_timeout_count"})
        if (last[name] > first[name]) return true;
    return false;
}

// The first of `names` with a value of at least 1, in milliseconds; 0 when none has one.
double firstMilliseconds(const Telemetry& sample, const std::array<const char*, 3>& names) {
    for (const char* name : names) {
        const int64_t micros = sample[name];
        if (micros >= 1) return static_cast<double>(micros) / 1000.0;
    }
    return 0.0;
}

int bounded(int64_t blocks) {
    return static_cast<int>(std::clamp<int64_t>(blocks, kMinBlocks, kMaxBlocks));
}

Proposal networkProposal(const Telemetry& last, double block, int floor, int current) {
    const double rtt = firstMilliseconds(
        last, {"net_time_probe_p99_rtt_microseconds", "net_time_probe_p95_rtt_microseconds",
               "net_time_probe_last_rtt_microseconds"});
    const double typical = firstMilliseconds(
        last, {"net_time_probe_p50_rtt_microseconds", "net_time_probe_last_rtt_microseconds",
               "net_time_probe_p99_rtt_microseconds"});
    const double sync =
        firstMilliseconds(last, {"net_sync_age_p99_microseconds", "net_sync_age_p95_microseconds",
                                 "net_sync_age_last_microseconds"});
    if (rtt > 0 && rtt / 2 < 0.35 * block && sync < 0.75 * block) {
        const int lower = floor + 1;
        if (lower == current) return std::nullopt;
        return propose(lower, "telemetry.latency_recommendation_lower");
    }
    if (rtt == 0 && sync == 0) return std::nullopt;
    const double margin = rtt / 2 + std::max(0.25 * block, rtt - typical);
    const double need = std::max(margin, sync);
    const double neededBlocks = std::ceil((0.5 * block + need) / block);
    // Only a sample rate far outside the contract could push this past 64 bits.
    const int64_t needed = neededBlocks >= 9.2e18 ? INT64_MAX : static_cast<int64_t>(neededBlocks);
    const char* key = needed < current ? "telemetry.latency_recommendation_lower"
                                       : "telemetry.latency_recommendation_raise_network";
    const int proposal = bounded(needed);
    if (proposal == current) return std::nullopt;
    return propose(proposal, key);
}

}  // namespace

std::optional<std::pair<int, std::string>> ClientRuntime::recommendation(int current) const {
    const int64_t rate = value("sampleRate");
    const auto frames = integer("blockFrames");
    if (!frames || rate < 1 || *frames < 1) return std::nullopt;
    const double block = static_cast<double>(*frames) * 1000.0 / static_cast<double>(rate);
    const int floor = safeFloor(block);
    if (floor >= current)
        return propose(floor > current ? floor : current + 1,
                       "telemetry.latency_recommendation_below_limit");
    if (samples.empty()) return std::nullopt;
    const Telemetry& first = samples.front();
    const Telemetry& last = samples.back();
    if (underPressure(first, last)) {
        const int raised = bounded(static_cast<int64_t>(current) + 1);
        if (raised == current) return std::nullopt;
        return propose(raised, "telemetry.latency_recommendation_raise_pressure");
    }
    return networkProposal(last, block, floor, current);
}

}  // namespace vornisel
