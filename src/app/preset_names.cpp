#include "app/preset_names.h"

#include <QString>

namespace vornisel {

bool sameName(const std::string& a, const std::string& b) {
    // Qt folds case per character with the Unicode tables, so Cyrillic, Greek and accented
    // Latin letters compare like ASCII ones; byte-wise folding would only cover ASCII.
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::optional<size_t> findPreset(const std::vector<Preset>& presets, const std::string& name) {
    for (size_t i = 0; i < presets.size(); ++i) {
        if (sameName(presets[i].name, name)) return i;
    }
    return std::nullopt;
}

}  // namespace vornisel
