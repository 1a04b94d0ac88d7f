#pragma once

#include <string>
#include <vector>

#include "model/profile.h"

namespace vornisel {

// One driver channel that more than one route claims.
struct MappingConflict {
    bool input = false;  // a driver input; otherwise a driver output
    int channel = 0;     // zero-based, as stored
    // The claiming devices' names as stored, in list order; a device that lists the channel
    // twice appears twice.
    std::vector<std::string> names;
};

// Driver channels claimed by more than one route across `clients`: input clashes first, each
// group in ascending channel order; empty when there is none. Hardware-side lists take no part.
std::vector<MappingConflict> mappingConflicts(const std::vector<Profile>& clients);

}  // namespace vornisel
