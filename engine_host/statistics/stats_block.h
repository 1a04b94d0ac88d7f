#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/host_contract.h"
#include "host_options.h"

namespace vornisel::enginehost {

// The published statistics object. Written with pwrite, never through a mapping, so that the
// shrink fault (which truncates the object under the panel's feet) cannot fault this process.
class StatsBlock {
public:
    ~StatsBlock();
    // Creates the object, replacing a stale one of our own; nothing when it cannot be had.
    static std::unique_ptr<StatsBlock> open(uint32_t id, const Faults& faults, std::string& error);
    StatsBlock(const StatsBlock&) = delete;
    StatsBlock& operator=(const StatsBlock&) = delete;

    void publish(const std::array<int32_t, host::kFieldCount>& values);
    // Removes the object; also done by the destructor.
    void remove();

private:
    StatsBlock(uint32_t id, int fd, const Faults& faults);
    void shrinkLoop();

    uint32_t id_;
    int fd_;
    const Faults* faults_;
    std::atomic<bool> stopping_{false};
    std::thread shrinker_;
    std::mutex lastMutex_;
    std::array<unsigned char, host::kStatsSize> last_{};
};

}  // namespace vornisel::enginehost
