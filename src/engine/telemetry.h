#pragma once

#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host_contract.h"

namespace vornisel {

// One snapshot of an engine's statistics with the time it was taken.
//
// A minute of history for eight engines is about 480 snapshots, so the values live in a fixed
// array indexed by field position (with a presence mask) instead of a map per snapshot: one
// snapshot is a little over 560 bytes with no heap allocation.
class Telemetry {
public:
    using Clock = std::chrono::system_clock;

    // No values, taken now.
    Telemetry();
    // Names that are not statistics are not kept: a snapshot only ever holds `fields()`.
    explicit Telemetry(const std::map<std::string, int64_t>& values,
                       Clock::time_point time = Clock::now());

    // The 67 statistic names in block order.
    static const std::vector<std::string>& fields();

    // One snapshot of the device's published block, or nothing when there is no valid block.
    static std::optional<Telemetry> read(uint32_t id);

    // The value of a statistic; 0 when the snapshot does not have it or the name is unknown.
    int64_t operator[](std::string_view name) const;
    // By position in `fields()`; 0 when absent or out of range.
    int64_t at(size_t index) const { return has(index) ? values_[index] : 0; }
    bool has(size_t index) const { return index < host::kFieldCount && present_.test(index); }
    bool has(std::string_view name) const;
    bool empty() const { return present_.none(); }
    // Every value the snapshot has, by name.
    std::map<std::string, int64_t> values() const;

    Clock::time_point time;

private:
    friend class TelemetryReader;
    std::array<int64_t, host::kFieldCount> values_{};
    std::bitset<host::kFieldCount> present_;
};

}  // namespace vornisel
