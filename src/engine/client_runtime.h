#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>

#include "engine/process.h"
#include "engine/telemetry.h"

namespace vornisel {

struct Profile;

// The live record of one device's engine. Touched only on the main thread.
class ClientRuntime {
public:
    // The last launched engine host; an ended one stays until the next launch.
    std::shared_ptr<Process> process;
    // The last accepted "GET_STATE" reply, or a state the panel set itself. Always an object.
    nlohmann::ordered_json state = nlohmann::ordered_json::object();
    // Statistics of the last 60 seconds, oldest first.
    std::deque<Telemetry> samples;
    bool polling = false;
    // When the poll under way began: one that does not come back means the engine does not answer.
    std::chrono::steady_clock::time_point pollStarted;
    bool stopping = false;
    // A stop was asked of the current task: its end is no error, even when the end is reported
    // after the stop has completed (the waiter's notice and the stop's own may come in any order).
    // A stop that fails clears it, so a later crash is reported.
    bool stopAsked = false;
    bool expanded = false;
    bool commandFailed = false;

    bool isRunning() const;

    // A state member read as an integer: only a number with an exact integer value counts
    // (48000.0 does, "3" and true do not). Missing or another type gives 0.
    int64_t value(const std::string& key) const;
    std::optional<int64_t> integer(const std::string& key) const;
    // A state member that is a string; anything else gives nothing.
    std::optional<std::string> text(const std::string& key) const;

    // Localised status line, health line and latency text shown on the device card.
    std::string status() const;
    std::string health() const;
    std::string latency(const Profile& profile) const;
    std::string latency(int blocks) const;

    // A better block count for the device and the localised reason, or nothing.
    std::optional<std::pair<int, std::string>> recommendation(int current) const;
};

}  // namespace vornisel
