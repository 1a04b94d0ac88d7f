#pragma once

#include <concepts>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/safe_file.h"

namespace vornisel {

// Every user-visible text, looked up by a dotted key ("notice.max_clients") in the language file
// "lang/<code>.ini" of the bundle's resources, with English underneath as the fallback.
// Main thread only.
class Localizer {
public:
    static Localizer& shared();

    // Replaces the table: English first, then `language` on top. Missing files are skipped.
    void load(const std::string& language);

    // The same from another resource folder (tests).
    void load(const std::string& language, const std::filesystem::path& resources);

    // Adds the entries of one language file's text, later entries replacing earlier ones.
    void addEntries(std::string_view fileText);

    // The value for `key` (or the key itself), with "{0}", "{1}", ... replaced by the arguments
    // in order, then the platform words rewritten.
    std::string text(const std::string& key, const std::vector<std::string>& args = {}) const;

    std::map<std::string, std::string> values;
    // The language file the last load could not use for what it is (not for being missing).
    std::optional<UnsafeFileError> refused;
};

// Argument conversion for tr(): text as it is, integers in decimal.
inline std::string trArgument(const std::string& value) {
    return value;
}
inline std::string trArgument(std::string_view value) {
    return std::string(value);
}
inline std::string trArgument(const char* value) {
    return value;
}
template <std::integral T>
requires(!std::same_as<T, bool> && !std::same_as<T, char>) std::string trArgument(T value) {
    return std::to_string(value);
}

// Localizer::shared().text(key, {args...}).
template <class... A>
std::string tr(const std::string& key, const A&... args) {
    return Localizer::shared().text(key, {trArgument(args)...});
}

}  // namespace vornisel
