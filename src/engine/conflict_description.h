#pragma once

#include <string>
#include <vector>

#include "model/mapping_conflicts.h"

namespace vornisel {

// The clashes as one line for the notice, such as "In 3: B, C; Out 2: A, B": the current
// language's "main.input_short" or "main.output_short", the channel shown from 1 and the names;
// "" when there is none.
std::string conflictDescription(const std::vector<MappingConflict>& conflicts);

}  // namespace vornisel
