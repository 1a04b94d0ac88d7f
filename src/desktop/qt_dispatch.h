#pragma once

#include "engine/dispatch.h"

namespace vornisel {

// The engine logic's queues on Qt: the main queue is the application's event loop (queued calls,
// delivered in the order they were posted), the utility queue the global thread pool, raised so
// that blocking jobs (socket reads, stops that wait seconds) do not wait behind each other.
class QtDispatch : public Dispatch {
public:
    QtDispatch();

    void main(std::function<void()> job) override;
    void utility(std::function<void()> job) override;

    // Enough workers for every device's poll and stop at once, with room to spare.
    static constexpr int workers = 32;
};

}  // namespace vornisel
