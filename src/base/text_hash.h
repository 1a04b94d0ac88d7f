#pragma once

#include <string>
#include <string_view>

namespace vornisel {

// FNV-1a 64 of `text` as 16 lower-case hex digits: a fixed hash, so that every build of the
// program derives the same file name from the same path.
std::string hashText(std::string_view text);

}  // namespace vornisel
