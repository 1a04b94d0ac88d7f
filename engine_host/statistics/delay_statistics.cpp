#include "statistics/delay_statistics.h"

#include <algorithm>
#include <cstdint>

namespace vornisel::enginehost {

void setStatistic(HostState::Statistics& statistics, std::string_view name, int64_t value) {
    const size_t index = host::fieldIndex(name);
    if (index < statistics.size())
        statistics[index] = static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

void DelayStatistics::record(int64_t microseconds) {
    const int64_t value = std::max<int64_t>(0, microseconds);
    std::lock_guard lock(mutex_);
    window_[count_ % kWindow] = value;
    min_ = count_ == 0 ? value : std::min(min_, value);
    max_ = count_ == 0 ? value : std::max(max_, value);
    last_ = value;
    ++count_;
    const auto bucket = std::lower_bound(kBucketBounds.begin(), kBucketBounds.end(), value);
    ++buckets_[static_cast<size_t>(bucket - kBucketBounds.begin())];
}

uint64_t DelayStatistics::count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

void DelayStatistics::write(HostState::Statistics& statistics, const Names& names) const {
    std::array<int64_t, kWindow> sorted;
    size_t size = 0;
    {
        std::lock_guard lock(mutex_);
        size = static_cast<size_t>(std::min<uint64_t>(count_, kWindow));
        std::copy(window_.begin(), window_.begin() + static_cast<ptrdiff_t>(size), sorted.begin());
        setStatistic(statistics, names.count, static_cast<int64_t>(count_));
        setStatistic(statistics, names.last, last_);
        setStatistic(statistics, names.min, min_);
        setStatistic(statistics, names.max, max_);
        const size_t first = host::fieldIndex(names.firstBucket);
        for (size_t i = 0; i < buckets_.size() && first + i < statistics.size(); ++i)
            statistics[first + i] =
                static_cast<int32_t>(std::min<uint64_t>(buckets_[i], INT32_MAX));
    }
    std::sort(sorted.begin(), sorted.begin() + static_cast<ptrdiff_t>(size));
    // Nearest rank: the smallest sample that at least p percent of the window do not exceed.
    auto percentile = [&](size_t p) -> int64_t {
        if (size == 0) return 0;
        const size_t rank = (p * size + 99) / 100;
        return sorted[std::max<size_t>(rank, 1) - 1];
    };
    setStatistic(statistics, names.p50, percentile(50));
    setStatistic(statistics, names.p95, percentile(95));
    setStatistic(statistics, names.p99, percentile(99));
}

}  // namespace vornisel::enginehost
