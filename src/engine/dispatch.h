#pragma once

#include <functional>

namespace vornisel {

// The two queues the engine logic uses. The application plugs in its event loop and a worker
// pool; tests plug in a main queue they drain themselves.
class Dispatch {
public:
    virtual ~Dispatch() = default;

    // Runs `job` later on the main thread, in the order jobs were queued. Callable from any
    // thread.
    virtual void main(std::function<void()> job) = 0;

    // Runs `job` on a background thread. Jobs block (a socket read up to about 1 s, a stop up to
    // about 7 s) and several run at once: eight hung engines polled and stopped must not starve
    // each other, so the pool must grow rather than queue behind busy workers.
    virtual void utility(std::function<void()> job) = 0;
};

}  // namespace vornisel
