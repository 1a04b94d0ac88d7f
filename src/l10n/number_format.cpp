#include "l10n/number_format.h"

#include <algorithm>
#include <charconv>

namespace vornisel {

std::string fixedDecimals(double value, int decimals) {
    // The largest double has 309 integer digits; with a sign, the point and 100 decimals this
    // always fits.
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed, std::clamp(decimals, 0, 100));
    return std::string(buffer, result.ptr);
}

}  // namespace vornisel
