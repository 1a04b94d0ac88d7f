#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>

namespace vornisel {

// An engine reply member read as an integer: only a number with an exact integer value that fits
// 64 bits counts (48000.0 does; "3", true and 1.5 do not).
std::optional<int64_t> exactInteger(const nlohmann::ordered_json& value);

}  // namespace vornisel
