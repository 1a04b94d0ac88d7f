#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vornisel {

// Byte offset of the first byte that breaks UTF-8 (overlong forms, surrogates and code points
// above U+10FFFF included), or nothing when the whole text is valid.
std::optional<size_t> invalidUtf8Offset(std::string_view text);

// Decodes the code point at `offset` of valid UTF-8 text and advances `offset` past it. On a
// broken sequence it yields U+FFFD and advances by one byte.
char32_t nextCodePoint(std::string_view text, size_t& offset);

}  // namespace vornisel
