#include "engine/manual_dispatch.h"

#include <thread>

namespace vornisel {

namespace {
constexpr auto kIdleRetire = std::chrono::seconds(5);
}

struct ManualDispatch::Pool {
    std::mutex mutex;
    std::condition_variable work;
    std::deque<std::function<void()>> jobs;
    size_t threads = 0;
    size_t idle = 0;
    bool closing = false;

    static void run(std::shared_ptr<Pool> pool) {
        std::unique_lock lock(pool->mutex);
        while (true) {
            ++pool->idle;
            const bool woke = pool->work.wait_for(
                lock, kIdleRetire, [&] { return !pool->jobs.empty() || pool->closing; });
            --pool->idle;
            if (pool->jobs.empty()) {
                if (!woke || pool->closing) break;
                continue;
            }
            auto job = std::move(pool->jobs.front());
            pool->jobs.pop_front();
            lock.unlock();
            job();
            job = nullptr;  // release what the job held before sleeping
            lock.lock();
        }
        --pool->threads;
    }
};

ManualDispatch::ManualDispatch() : pool_(std::make_shared<Pool>()) {}

ManualDispatch::~ManualDispatch() {
    std::lock_guard lock(pool_->mutex);
    pool_->closing = true;
    pool_->work.notify_all();
}

void ManualDispatch::main(std::function<void()> job) {
    std::lock_guard lock(main_.mutex);
    main_.jobs.push_back(std::move(job));
    main_.ready.notify_all();
}

void ManualDispatch::utility(std::function<void()> job) {
    std::lock_guard lock(pool_->mutex);
    pool_->jobs.push_back(std::move(job));
    if (pool_->idle >= pool_->jobs.size()) {
        pool_->work.notify_one();
        return;
    }
    ++pool_->threads;
    std::thread(&Pool::run, pool_).detach();
}

size_t ManualDispatch::drainMain() {
    size_t ran = 0;
    while (true) {
        std::function<void()> job;
        {
            std::lock_guard lock(main_.mutex);
            if (main_.jobs.empty()) return ran;
            job = std::move(main_.jobs.front());
            main_.jobs.pop_front();
        }
        job();
        ++ran;
    }
}

bool ManualDispatch::runMainUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        drainMain();
        if (done()) return true;
        std::unique_lock lock(main_.mutex);
        if (!main_.ready.wait_until(lock, deadline, [&] { return !main_.jobs.empty(); }))
            return done();
    }
}

size_t ManualDispatch::pendingMain() {
    std::lock_guard lock(main_.mutex);
    return main_.jobs.size();
}

size_t ManualDispatch::workerCount() const {
    std::lock_guard lock(pool_->mutex);
    return pool_->threads;
}

}  // namespace vornisel
