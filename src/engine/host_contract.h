#pragma once

// What the panel and the engine host agree on: where the host lives, how it is reached, and the
// layout of its statistics block. Shared by the panel and the stand-in host so they cannot drift.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vornisel::host {

inline constexpr std::string_view kRelativePath = "Contents/MacOS/vornisel_macos_engine_host";

inline constexpr std::string_view kGetState = "GET_STATE";
inline constexpr std::string_view kStop = "STOP";
inline constexpr int64_t kAbiVersion = 5;

inline constexpr char kMagic[4] = {'V', 'E', 'N', 'G'};
inline constexpr uint32_t kLayoutVersion = 6;
// The panel maps exactly this many bytes; a host may publish a larger object.
inline constexpr size_t kStatsSize = 288;
inline constexpr size_t kMagicOffset = 0;
inline constexpr size_t kVersionOffset = 4;
inline constexpr size_t kValuesOffset = 8;
inline constexpr size_t kFieldCount = 67;
// `client_id` is both a statistic and the identity of the block.
inline constexpr size_t kClientIdField = 2;

// Every statistic name in block order; a name's position fixes its offset (8 + 4 * position).
inline constexpr std::string_view kFieldList =
    "status,last_error_code,client_id,sample_rate,block_frames,"
    "net_recv_blocks_per_sec,net_duplicate_blocks_per_sec,"
    "net_time_probe_response_count,net_time_probe_timeout_count,"
    "net_time_probe_last_rtt_microseconds,net_time_probe_min_rtt_microseconds,"
    "net_time_probe_max_rtt_microseconds,net_time_probe_p50_rtt_microseconds,"
    "net_time_probe_p95_rtt_microseconds,net_time_probe_p99_rtt_microseconds,"
    "net_time_probe_offset_valid,net_time_probe_offset_rtt_microseconds,"
    "net_time_probe_rtt_bucket_le_250us,net_time_probe_rtt_bucket_le_500us,"
    "net_time_probe_rtt_bucket_le_1ms,net_time_probe_rtt_bucket_le_2ms,"
    "net_time_probe_rtt_bucket_le_5ms,net_time_probe_rtt_bucket_le_10ms,"
    "net_time_probe_rtt_bucket_le_20ms,net_time_probe_rtt_bucket_le_50ms,"
    "net_time_probe_rtt_bucket_le_100ms,net_time_probe_rtt_bucket_gt_100ms,"
    "net_sync_age_sample_count,net_sync_age_last_microseconds,net_sync_age_min_microseconds,"
    "net_sync_age_max_microseconds,net_sync_age_p50_microseconds,net_sync_age_p95_microseconds,"
    "net_sync_age_p99_microseconds,net_sync_age_bucket_le_250us,net_sync_age_bucket_le_500us,"
    "net_sync_age_bucket_le_1ms,net_sync_age_bucket_le_2ms,net_sync_age_bucket_le_5ms,"
    "net_sync_age_bucket_le_10ms,net_sync_age_bucket_le_20ms,net_sync_age_bucket_le_50ms,"
    "net_sync_age_bucket_le_100ms,net_sync_age_bucket_gt_100ms,"
    "asio_recv_blocks_per_sec,asio_callbacks_per_sec,asio_dequeued_blocks_per_sec,"
    "asio_queue_depth_frames,asio_queue_min_frames,asio_queue_max_frames,"
    "asio_queue_target_frames,asio_queue_error_frames,asio_queue_depth_microseconds,"
    "asio_queue_depth_centi_blocks,asio_pll_ratio_ppm,"
    "asio_callback_processing_last_microseconds,asio_callback_processing_max_microseconds,"
    "underrun_count,overrun_count,playback_dropped_count,capture_dropped_count,"
    "output_recv_to_append_last_microseconds,output_recv_to_append_max_microseconds,"
    "output_append_to_consume_last_microseconds,output_append_to_consume_max_microseconds,"
    "output_server_to_consume_last_microseconds,output_server_to_consume_max_microseconds";

// Position of `name` in kFieldList, or kFieldCount when it is not a statistic.
constexpr size_t fieldIndex(std::string_view name) {
    size_t index = 0;
    size_t begin = 0;
    while (begin <= kFieldList.size()) {
        size_t end = kFieldList.find(',', begin);
        if (end == std::string_view::npos) end = kFieldList.size();
        if (end > begin) {
            if (kFieldList.substr(begin, end - begin) == name) return index;
            ++index;
        }
        begin = end + 1;
    }
    return kFieldCount;
}

static_assert(fieldIndex("status") == 0);
static_assert(fieldIndex("client_id") == kClientIdField);
static_assert(fieldIndex("output_server_to_consume_max_microseconds") == kFieldCount - 1);
static_assert(kValuesOffset + 4 * kFieldCount + 12 == kStatsSize);

inline std::string socketPath(uint32_t id) {
    return "/tmp/vornisel-engine-host_" + std::to_string(id) + ".sock";
}

inline std::string statsName(uint32_t id) {
    return "/VorniselEngineStats_" + std::to_string(id) + "_v6";
}

}  // namespace vornisel::host
