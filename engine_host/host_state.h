#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "engine/host_contract.h"

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

}  // namespace vornisel::enginehost
