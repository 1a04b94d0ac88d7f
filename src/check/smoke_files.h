#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace vornisel {

// Reading back the files the panel wrote, for the built-in UI check. Nothing here throws: a file
// that is missing or unreadable reads as nothing.

std::optional<std::string> fileText(const std::filesystem::path& file);
std::optional<nlohmann::ordered_json> jsonFile(const std::filesystem::path& file);
// The text split at line feeds; a final line feed ends the last line rather than adding one.
std::vector<std::string> textLines(const std::string& text);

// The entry names of a zip archive, from its central directory; nothing when it is no zip.
std::optional<std::vector<std::string>> zipEntries(const std::filesystem::path& archive);

// The processes this one started that still exist (zombies included), from /proc.
std::vector<int> childProcesses();

// Whether a process with this id exists (a zombie counts until it is reaped).
bool processExists(int pid);

}  // namespace vornisel
