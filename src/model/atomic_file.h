#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/safe_file.h"

namespace vornisel {

// Replaces `path` with `bytes` so that a reader sees either the old or the new file: the data goes
// to a uniquely named temporary file in the same folder, is flushed to disk and renamed over the
// target. On any failure the temporary file is removed, the old file is left byte for byte, and
// the error (std::system_error or std::filesystem::filesystem_error) is passed on.
// The folder's entries are flushed after the rename, so a power cut cannot bring the old file back.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
// The same for the file `name` in an opened folder: nothing is looked up by path again, and a
// link at `name` is replaced, never followed.
void writeFileAtomically(const Folder& folder, const std::string& name, std::string_view bytes);

// Removes what writes of `path` killed half-way left behind: their temporary files that this user
// owns and that no live writer holds locked (a write locks its temporary until it is renamed).
// Temporaries of saves under way, in this or another process, and other users' files stay.
void removeLeftoverTemporaries(const std::filesystem::path& path);
void removeLeftoverTemporaries(const Folder& folder, const std::string& name);

}  // namespace vornisel
