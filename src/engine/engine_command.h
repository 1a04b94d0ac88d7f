#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace vornisel {

// One exchange with a device's engine host: send `command` and a line feed, read the reply to
// its end and return it as a JSON object. Nothing on any failure (no host, a time-out of 1 s on
// a send or a read, bad JSON, "ok" not true, a "GET_STATE" reply of another device or ABI, a
// peer of another user). Blocks: never call it on the main thread.
std::optional<nlohmann::ordered_json> engineCommand(uint32_t id, const std::string& command);

}  // namespace vornisel
