#include "engine/client_runtime.h"

#include "engine/json_integer.h"
#include "l10n/localizer.h"
#include "l10n/number_format.h"
#include "model/profile.h"

namespace vornisel {

namespace {

std::string lookup(const std::string& key, const std::vector<std::string>& args = {}) {
    return Localizer::shared().text(key, args);
}

const char* statusKey(int64_t code) {
    switch (code) {
        case 0:
            return "status.engine_created";
        case 1:
            return "status.starting";
        case 2:
            return "status.waiting_vornisel";
        case 4:
            return "status.recovering";
        case 5:
            return "status.stopping";
        case 6:
            return "status.stopped";
        case 7:
            return "status.error";
        default:
            return "status.starting";
    }
}

}  // namespace

bool ClientRuntime::isRunning() const {
    return process && process->isRunning();
}

std::optional<int64_t> ClientRuntime::integer(const std::string& key) const {
    if (!state.is_object()) return std::nullopt;
    const auto found = state.find(key);
    if (found == state.end()) return std::nullopt;
    return exactInteger(*found);
}

int64_t ClientRuntime::value(const std::string& key) const {
    return integer(key).value_or(0);
}

std::optional<std::string> ClientRuntime::text(const std::string& key) const {
    if (!state.is_object()) return std::nullopt;
    const auto found = state.find(key);
    if (found == state.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

std::string ClientRuntime::status() const {
    if (stopping) return lookup("status.stopping");
    const bool running = isRunning();
    if (commandFailed && running) return lookup("status.command_unavailable_title");
    if (!running) return lookup(value("status") == 7 ? "status.error" : "status.stopped");
    const int64_t code = value("status");
    if (value("healthReason") == 1 || code == 2) return lookup("status.waiting_vornisel");
    if (code == 3)
        return lookup(value("health") == 1 ? "status.running" : "status.running_warnings");
    return lookup(statusKey(code));
}

std::string ClientRuntime::health() const {
    const int64_t code = value("status");
    const auto lastError = text("lastErrorKey");
    if (code == 7 && lastError && !lastError->empty()) return lookup(*lastError);
    if (!isRunning()) return lookup("status.ready");
    if (commandFailed) return lookup("status.command_timeout");
    if (value("healthReason") == 1 || code == 2) return lookup("status.waiting_sync");
    if (code == 3 && value("health") == 1)
        return lookup("status.buffer_format",
                      {std::to_string(value("sampleRate")), std::to_string(value("blockFrames"))});
    for (const char* key : {"healthMessageKey", "lastErrorKey"}) {
        const auto message = text(key);
        if (message && !message->empty()) return lookup(*message);
    }
    return status();
}

std::string ClientRuntime::latency(const Profile& profile) const {
    return latency(profile.blocks());
}

std::string ClientRuntime::latency(int blocks) const {
    const int64_t rate = value("sampleRate");
    const int64_t frames = value("blockFrames");
    if (rate >= 1 && frames >= 1) {
        // Beyond the host contract the product may overflow; unsigned wrap-around keeps that
        // defined instead of undefined.
        const auto product =
            static_cast<int64_t>(static_cast<uint64_t>(blocks) * static_cast<uint64_t>(frames));
        const double milliseconds =
            static_cast<double>(product) * 1000.0 / static_cast<double>(rate);
        return lookup("telemetry.latency_ms", {fixedDecimals(milliseconds, 2)});
    }
    return lookup(blocks == 1 ? "telemetry.latency_one_block" : "telemetry.latency_blocks",
                  {std::to_string(blocks)});
}

}  // namespace vornisel
