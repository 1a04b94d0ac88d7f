#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "host_state.h"

namespace vornisel::enginehost {

// A stream of measured delays in microseconds (round trips, ages of the clock sync): count, last,
// extremes, percentiles over the most recent samples, and how many fell into each bucket. Recorded
// on the network thread, read by the host's loop; recording never allocates.
class DelayStatistics {
public:
    // The statistic names of one family, in the order of the block's members.
    struct Names {
        std::string_view count, last, min, max, p50, p95, p99;
        std::string_view firstBucket;  // the ten buckets follow it in the block
    };

    // Bucket upper bounds in microseconds; a last bucket holds everything above 100 ms.
    static constexpr std::array<int64_t, 9> kBucketBounds = {250,   500,   1000,  2000,  5000,
                                                             10000, 20000, 50000, 100000};
    static constexpr size_t kWindow = 512;

    void record(int64_t microseconds);
    // Writes the family into `statistics`; all zero before the first sample.
    void write(HostState::Statistics& statistics, const Names& names) const;
    uint64_t count() const;

private:
    mutable std::mutex mutex_;
    uint64_t count_ = 0;
    int64_t last_ = 0;
    int64_t min_ = 0;
    int64_t max_ = 0;
    std::array<uint64_t, kBucketBounds.size() + 1> buckets_{};
    std::array<int64_t, kWindow> window_{};
};

// Stores `value` at the statistic `name`, saturated to the block's 32 bits.
void setStatistic(HostState::Statistics& statistics, std::string_view name, int64_t value);

}  // namespace vornisel::enginehost
