#include "check/ui_script.h"

#include <exception>

namespace vornisel {

UiScript::UiScript(QObject* parent) : QObject(parent) {
    looker_.setInterval(20);
    connect(&looker_, &QTimer::timeout, this, [this] { look(); });
}

void UiScript::add(Step step) {
    steps_.push_back(std::move(step));
}

void UiScript::act(std::string name, std::function<void()> action) {
    add({std::move(name), std::move(action), {}, {}, {}});
}

void UiScript::wait(std::string name, std::function<bool()> until,
                    std::chrono::milliseconds timeout, std::function<void(bool met)> after) {
    add({std::move(name), {}, std::move(until), timeout, std::move(after)});
}

void UiScript::addNext(Step step) {
    steps_.push_front(std::move(step));
}

void UiScript::start(std::function<void()> finished) {
    finished_ = std::move(finished);
    QTimer::singleShot(0, this, [this] { runNext(); });
}

void UiScript::abandon() {
    steps_.clear();
}

void UiScript::runNext() {
    if (steps_.empty()) {
        if (auto finished = std::exchange(finished_, {})) finished();
        return;
    }
    current_ = std::move(steps_.front());
    steps_.pop_front();
    if (current_.action && !guarded(current_.action)) {
        finishStep(false);
        return;
    }
    if (!current_.until) {
        finishStep(true);
        return;
    }
    waiting_ = true;
    deadline_ = Clock::now() + current_.timeout;
    look();
    if (waiting_) looker_.start();
}

void UiScript::look() {
    if (!waiting_) return;
    bool met = false;
    if (!guarded([&] { met = current_.until(); })) {
        finishStep(false);
        return;
    }
    if (met || Clock::now() >= deadline_) finishStep(met);
}

void UiScript::finishStep(bool met) {
    waiting_ = false;
    looker_.stop();
    if (current_.after) guarded([&] { current_.after(met); });
    // The next step starts from the event loop, never inside this one's call stack: whatever the
    // step set off gets to run first.
    QTimer::singleShot(0, this, [this] { runNext(); });
}

bool UiScript::guarded(const std::function<void()>& part) {
    try {
        part();
        return true;
    } catch (const std::exception& error) {
        if (failed_) failed_(current_.name, error.what());
    } catch (...) {
        if (failed_) failed_(current_.name, "unknown exception");
    }
    return false;
}

}  // namespace vornisel
