#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <string>

#include "engine/host_contract.h"
#include "host_options.h"
#include "host_state.h"

namespace vornisel::enginehost {

// A pretend engine: it starts, waits for its server a moment, then runs with audio levels that
// move like music and network figures that wander like a real link, with the odd underrun and
// recovery. Only tests ask for it (VORNISEL_HOST_SIMULATE). Advanced by the host's loop; not
// thread-safe.
class Simulator final : public HostState {
public:
    explicit Simulator(const HostOptions& options);

    // Moves the simulation to `now`.
    void advance(Clock::time_point now) override;

    int status() const override { return status_; }
    // The "GET_STATE" reply, serialised once per advance.
    const std::string& stateReply() const override { return reply_; }
    const Statistics& statistics() const override { return stats_; }

private:
    void updateStatus(double seconds);
    void updateLevels();
    void updateNetwork(double dt);
    void updateQueue();
    void maybeRecover(double dt);
    void serialise();
    void set(std::string_view name, int64_t value);
    int32_t get(std::string_view name) const;

    const HostOptions& options_;
    const Clock::time_point started_;
    Clock::time_point last_;
    std::mt19937 random_;
    int status_ = 1;
    double phase_ = 0;
    Statistics stats_{};
    std::vector<int> outputPeaks_;
    std::vector<int> inputPeaks_;
    std::deque<std::pair<std::string, std::string>> events_;
    double rtt_ = 700;
    double sync_ = 500;
    double counterClock_ = 0;
    std::string reply_;
};

}  // namespace vornisel::enginehost
