#pragma once

#include <string>
#include <vector>

#include "l10n/localizer.h"
#include "model/profile.h"

namespace vornisel {

// Driver channels claimed by more than one route, as one line such as "In 3: B, C; Out 2: A, B"
// (channel numbers shown from 1, input clashes first); "" when there is none.
std::string mappingConflicts(const std::vector<Profile>& clients, const std::string& inputLabel,
                             const std::string& outputLabel);

// The same with the labels of the current language ("main.input_short", "main.output_short").
// Inline so that the model library itself needs no link to the localizer.
inline std::string mappingConflicts(const std::vector<Profile>& clients) {
    return mappingConflicts(clients, tr("main.input_short"), tr("main.output_short"));
}

}  // namespace vornisel
