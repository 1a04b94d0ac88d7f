#pragma once

#include <time.h>

#include <cstdint>

namespace vornisel::enginehost {

// Microseconds of the monotonic clock: the time stamps of the datagrams and of every measure.
inline int64_t monotonicMicros() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

}  // namespace vornisel::enginehost
