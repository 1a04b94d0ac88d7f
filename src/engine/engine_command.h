#pragma once

#include <sys/time.h>

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace vornisel {

// The checks engineCommand applies to a reply's bytes, without the socket: nothing unless they
// are one non-empty JSON object, nested at most 64 levels, whose "ok" is true and, for
// "GET_STATE", whose "clientId" is `id` and "abiVersion" 5.
std::optional<nlohmann::ordered_json> parseEngineReply(std::string_view bytes, uint32_t id,
                                                       std::string_view command);

// A socket time-out for the time `left`: rounded up to whole microseconds and never below one,
// since the kernel reads a zero time-out as "wait forever".
timeval socketTimeout(std::chrono::steady_clock::duration left);

// One exchange with a device's engine host: send `command` and a line feed, read the reply to
// its end and return it as a JSON object. Nothing on any failure (no host, a time-out of 1 s on
// a send or a read, bad JSON, "ok" not true, a "GET_STATE" reply of another device or ABI, a
// peer of another user). Blocks: never call it on the main thread.
std::optional<nlohmann::ordered_json> engineCommand(uint32_t id, const std::string& command);

}  // namespace vornisel
