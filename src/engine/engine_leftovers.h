#pragma once

#include <cstdint>

namespace vornisel {

// The names an engine host publishes (its command socket and statistics object) live in shared
// folders, so they are only ever touched when they are this user's and of the expected kind.

// Removes what a host ended by SIGKILL could not: its socket and its statistics object. Others'
// files under those names stay.
void removeEngineLeftovers(uint32_t id);

// Whether the engine socket's name is held by another user: a host cannot start there.
bool engineSocketTaken(uint32_t id);

}  // namespace vornisel
