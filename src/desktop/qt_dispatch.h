#pragma once

#include <chrono>

#include "engine/dispatch.h"

namespace vornisel {

// The engine logic's queues on Qt: the main queue is the application's event loop (queued calls,
// delivered in the order they were posted), the utility queue a thread pool of its own, large
// enough that blocking jobs (socket reads, stops that wait seconds) do not wait behind each other.
class QtDispatch : public Dispatch {
public:
    QtDispatch();

    void main(std::function<void()> job) override;
    void utility(std::function<void()> job) override;

    // Waits at most `bound` for the utility jobs under way; false when some are still running
    // (the process must then end without waiting for them, as with _exit).
    static bool finish(std::chrono::milliseconds bound);

    // Enough workers for every device's poll and stop at once, with room to spare.
    static constexpr int workers = 32;
};

}  // namespace vornisel
