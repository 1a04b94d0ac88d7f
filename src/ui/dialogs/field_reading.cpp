#include "ui/dialogs/field_reading.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <limits>
#include <string>

namespace vornisel {
namespace {

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Reads the magnitude with from_chars, which reports overflow instead of wrapping.
template <class T>
std::optional<T> readDigits(std::string_view digits) {
    if (!allDigits(digits)) return std::nullopt;
    T value{};
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<int64_t> readInteger(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    // Read as unsigned so that the most negative value, whose magnitude exceeds the positive
    // range by one, is still accepted.
    const auto magnitude = readDigits<uint64_t>(text);
    if (!magnitude) return std::nullopt;
    constexpr auto max = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (negative) {
        if (*magnitude > max + 1) return std::nullopt;
        return static_cast<int64_t>(0 - *magnitude);
    }
    if (*magnitude > max) return std::nullopt;
    return static_cast<int64_t>(*magnitude);
}

std::optional<uint32_t> readUnsigned32(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    return readDigits<uint32_t>(text);
}

bool isIPv4Address(std::string_view text) {
    // The C string would end at an embedded NUL and accept what precedes it.
    if (text.find('\0') != std::string_view::npos) return false;
    const std::string terminated(text);
    in_addr address{};
    return inet_pton(AF_INET, terminated.c_str(), &address) == 1;
}

}  // namespace vornisel
