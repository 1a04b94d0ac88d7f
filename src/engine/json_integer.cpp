#include "engine/json_integer.h"

#include <cmath>
#include <limits>

namespace vornisel {

std::optional<int64_t> exactInteger(const nlohmann::ordered_json& value) {
    if (value.is_number_unsigned()) {
        const auto n = value.get<uint64_t>();
        if (n > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
        return static_cast<int64_t>(n);
    }
    if (value.is_number_integer()) return value.get<int64_t>();
    if (value.is_number_float()) {
        const double d = value.get<double>();
        // 2^63 itself is not representable; stay strictly inside.
        constexpr double kLimit = 9223372036854775808.0;
        if (!std::isfinite(d) || std::trunc(d) != d || d < -kLimit || d >= kLimit)
            return std::nullopt;
        return static_cast<int64_t>(d);
    }
    return std::nullopt;
}

}  // namespace vornisel
