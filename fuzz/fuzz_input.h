#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// What every target shares: the bytes as text, and a failure that every build reports as a crash
// (the replay under g++ has no libFuzzer to catch a broken property).
namespace vornisel::fuzz {

inline std::string_view text(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

[[noreturn]] inline void broken(const char* property) {
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

inline void require(bool holds, const char* property) {
    if (!holds) broken(property);
}

}  // namespace vornisel::fuzz
