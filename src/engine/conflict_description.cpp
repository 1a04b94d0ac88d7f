#include "engine/conflict_description.h"

#include <cstdint>

#include "l10n/localizer.h"

namespace vornisel {

std::string conflictDescription(const std::vector<MappingConflict>& conflicts) {
    const std::string inputLabel = tr("main.input_short");
    const std::string outputLabel = tr("main.output_short");
    std::string text;
    for (const MappingConflict& conflict : conflicts) {
        if (!text.empty()) text += "; ";
        text += conflict.input ? inputLabel : outputLabel;
        // Widened first: channel INT_MAX from a hand-edited file still prints as one more.
        text += " " + std::to_string(static_cast<int64_t>(conflict.channel) + 1) + ": ";
        for (size_t i = 0; i < conflict.names.size(); ++i)
            text += (i > 0 ? ", " : "") + conflict.names[i];
    }
    return text;
}

}  // namespace vornisel
