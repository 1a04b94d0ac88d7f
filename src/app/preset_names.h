#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "model/panel_document.h"

namespace vornisel {

// Whether two preset names are the same apart from letter case, in any script: "Студия" and
// "СТУДИЯ" match, as do "Live" and "LIVE".
bool sameName(const std::string& a, const std::string& b);

// The position of the first preset whose name matches `name` apart from letter case.
std::optional<size_t> findPreset(const std::vector<Preset>& presets, const std::string& name);

}  // namespace vornisel
