#pragma once

#include <string>

#include "model/profile.h"

namespace vornisel {

// The 14-line INI text that tells an engine host its server, latency, routing and hardware
// device. Values are copied verbatim; lines end with LF.
std::string clientConfigText(const Profile& profile);

}  // namespace vornisel
