#include "statistics/delay_statistics.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace vornisel::enginehost {
namespace {

const DelayStatistics::Names kRoundTrip = {
    "net_time_probe_response_count",       "net_time_probe_last_rtt_microseconds",
    "net_time_probe_min_rtt_microseconds", "net_time_probe_max_rtt_microseconds",
    "net_time_probe_p50_rtt_microseconds", "net_time_probe_p95_rtt_microseconds",
    "net_time_probe_p99_rtt_microseconds", "net_time_probe_rtt_bucket_le_250us"};

std::map<std::string, int32_t> written(const std::vector<int64_t>& samples) {
    DelayStatistics delays;
    for (int64_t sample : samples)
        delays.record(sample);
    HostState::Statistics block{};
    delays.write(block, kRoundTrip);
    std::map<std::string, int32_t> values;
    for (const char* name :
         {"net_time_probe_response_count", "net_time_probe_last_rtt_microseconds",
          "net_time_probe_min_rtt_microseconds", "net_time_probe_max_rtt_microseconds",
          "net_time_probe_p50_rtt_microseconds", "net_time_probe_p95_rtt_microseconds",
          "net_time_probe_p99_rtt_microseconds", "net_time_probe_rtt_bucket_le_250us",
          "net_time_probe_rtt_bucket_le_1ms", "net_time_probe_rtt_bucket_le_100ms",
          "net_time_probe_rtt_bucket_gt_100ms", "net_sync_age_sample_count"})
        values[name] = block[host::fieldIndex(name)];
    return values;
}

std::vector<int64_t> series(int64_t from, int64_t step, int count) {
    std::vector<int64_t> values;
    for (int i = 0; i < count; ++i)
        values.push_back(from + step * i);
    return values;
}

TEST(DelayStatisticsTest, PercentilesExtremesAndBucketsOfWhatWasMeasured) {
    // 10, 20, ... 1000 us.
    auto hundred = written(series(10, 10, 100));
    EXPECT_EQ(hundred["net_time_probe_response_count"], 100);
    EXPECT_EQ(hundred["net_time_probe_last_rtt_microseconds"], 1000);
    EXPECT_EQ(hundred["net_time_probe_min_rtt_microseconds"], 10);
    EXPECT_EQ(hundred["net_time_probe_max_rtt_microseconds"], 1000);
    EXPECT_EQ(hundred["net_time_probe_p50_rtt_microseconds"], 500);
    EXPECT_EQ(hundred["net_time_probe_p95_rtt_microseconds"], 950);
    EXPECT_EQ(hundred["net_time_probe_p99_rtt_microseconds"], 990);
    EXPECT_EQ(hundred["net_time_probe_rtt_bucket_le_250us"], 25);
    EXPECT_EQ(hundred["net_time_probe_rtt_bucket_le_1ms"], 50);
    // Another family's members stay untouched.
    EXPECT_EQ(hundred["net_sync_age_sample_count"], 0);

    // Nothing measured is nothing reported.
    for (const auto& [name, value] : written({}))
        EXPECT_EQ(value, 0) << name;

    // The percentiles follow the recent samples; the extremes and buckets keep the whole run.
    std::vector<int64_t> early(1000, 200000);
    std::vector<int64_t> late(DelayStatistics::kWindow, 100000);
    early.insert(early.end(), late.begin(), late.end());
    auto shifted = written(early);
    EXPECT_EQ(shifted["net_time_probe_p99_rtt_microseconds"], 100000);
    EXPECT_EQ(shifted["net_time_probe_max_rtt_microseconds"], 200000);
    EXPECT_EQ(shifted["net_time_probe_rtt_bucket_gt_100ms"], 1000);
    EXPECT_EQ(shifted["net_time_probe_rtt_bucket_le_100ms"], DelayStatistics::kWindow);
}

}  // namespace
}  // namespace vornisel::enginehost
