#pragma once

#include <filesystem>
#include <string_view>

namespace vornisel {

// Replaces `path` with `bytes` so that a reader sees either the old or the new file: the data goes
// to a uniquely named temporary file in the same folder, is flushed to disk and renamed over the
// target. On any failure the temporary file is removed, the old file is left byte for byte, and
// the error (std::system_error or std::filesystem::filesystem_error) is passed on.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Removes what writes of `path` killed half-way left behind: their temporary files that this user
// owns and that no live writer holds locked (a write locks its temporary until it is renamed).
// Temporaries of saves under way, in this or another process, and other users' files stay.
void removeLeftoverTemporaries(const std::filesystem::path& path);

}  // namespace vornisel
