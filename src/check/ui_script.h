#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <string>

namespace vornisel {

// Steps run one after another from the event loop, so that whatever a step sets off (a dialog
// opening, an engine starting, a poll) happens between the steps exactly as it does for a user.
// A step acts, then waits until its condition holds or its time is up, then hears which.
class UiScript : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    struct Step {
        std::string name;
        std::function<void()> action;  // may be empty
        // Looked at right after the action and then every 20 ms; empty means done at once.
        std::function<bool()> until;
        std::chrono::milliseconds timeout{0};
        std::function<void(bool met)> after;  // may be empty
    };

    explicit UiScript(QObject* parent = nullptr);

    void add(Step step);
    void act(std::string name, std::function<void()> action);
    void wait(std::string name, std::function<bool()> until, std::chrono::milliseconds timeout,
              std::function<void(bool met)> after);
    // Queues a step before the remaining ones, for steps that follow from what a step found.
    void addNext(Step step);

    // Runs the steps; `finished` runs after the last one. An exception thrown by an action or a
    // condition ends that step as not met and goes to `failed` with the step's name.
    void start(std::function<void()> finished);
    void setFailureHandler(std::function<void(const std::string&, const std::string&)> failed) {
        failed_ = std::move(failed);
    }
    // Drops the steps not yet run; `finished` still runs.
    void abandon();

    const std::string& current() const { return current_.name; }

private:
    void runNext();
    void look();
    void finishStep(bool met);
    bool guarded(const std::function<void()>& part);

    std::deque<Step> steps_;
    Step current_;
    bool waiting_ = false;
    Clock::time_point deadline_;
    QTimer looker_;
    std::function<void()> finished_;
    std::function<void(const std::string&, const std::string&)> failed_;
};

}  // namespace vornisel
