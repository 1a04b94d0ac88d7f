#pragma once

#include <filesystem>

namespace vornisel {

// Shows `file` in the desktop's file manager: selected, through the freedesktop FileManager1
// D-Bus service where one answers; otherwise the folder that holds it is opened. Returns at once;
// a desktop without either simply shows nothing.
void revealInFileManager(const std::filesystem::path& file);

}  // namespace vornisel
