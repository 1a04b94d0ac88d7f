#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vornisel {

// Readings of the dialogs' text fields. Each accepts only its exact form and never trims:
// the callers decide where white space is tolerated.

// A decimal integer: an optional leading "+" or "-", then ASCII digits only, fitting 64 bits.
std::optional<int64_t> readInteger(std::string_view text);

// An unsigned 32-bit decimal integer: an optional leading "+", then ASCII digits only.
std::optional<uint32_t> readUnsigned32(std::string_view text);

// A dotted-decimal IPv4 address, exactly as the C library's inet_pton accepts it for AF_INET.
bool isIPv4Address(std::string_view text);

}  // namespace vornisel
