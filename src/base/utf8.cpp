#include "base/utf8.h"

namespace vornisel {
namespace {

// Length of a well-formed sequence starting at `offset`, or 0 when it is broken.
size_t sequenceLength(std::string_view text, size_t offset, char32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[offset + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    size_t length = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (offset + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
    return length;
}

}  // namespace

std::optional<size_t> invalidUtf8Offset(std::string_view text) {
    size_t offset = 0;
    char32_t codePoint = 0;
    while (offset < text.size()) {
        const size_t length = sequenceLength(text, offset, codePoint);
        if (length == 0) return offset;
        offset += length;
    }
    return std::nullopt;
}

char32_t nextCodePoint(std::string_view text, size_t& offset) {
    char32_t codePoint = 0;
    const size_t length = sequenceLength(text, offset, codePoint);
    if (length == 0) {
        ++offset;
        return 0xFFFD;
    }
    offset += length;
    return codePoint;
}

}  // namespace vornisel
