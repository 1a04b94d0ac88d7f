#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "engine/host_contract.h"
#include "host_options.h"

namespace vornisel::enginehost {

// What the host's loop serves: the "GET_STATE" reply and the statistics block, brought up to
// date once per tick. The real engine and the test-only simulation both provide it.
class HostState {
public:
    using Clock = std::chrono::steady_clock;
    using Statistics = std::array<int32_t, host::kFieldCount>;

    virtual ~HostState() = default;
    // Brings the reply and the statistics up to `now`; called from the host's loop only.
    virtual void advance(Clock::time_point now) = 0;
    virtual int status() const = 0;
    virtual const std::string& stateReply() const = 0;
    virtual const Statistics& statistics() const = 0;
};

// The "GET_STATE" reply's members that the engine and the simulation share, built in one place so
// that the two cannot drift apart.
struct StateHead {
    int status = 0;
    std::string errorKey;
    int sampleRate = 0;  // 0 unless running
};
using RecoveryEvents = std::deque<std::pair<std::string, std::string>>;
// The members a reply starts with.
nlohmann::ordered_json stateHead(const HostOptions& options, const StateHead& head);
// The members it ends with: each routed driver channel's peak (0 where `peaks` has none), and the
// recovery events.
void appendLevelsAndEvents(nlohmann::ordered_json& state, const HostOptions& options,
                           const std::vector<int>& inputPeaks, const std::vector<int>& outputPeaks,
                           const RecoveryEvents& events);

}  // namespace vornisel::enginehost
