#include "base/text_hash.h"

#include <cstdint>

namespace vornisel {

std::string hashText(std::string_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        out[i] = digits[hash & 0xF];
    return out;
}

}  // namespace vornisel
