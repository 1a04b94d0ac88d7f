#include "ui/dialogs/field_reading.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vornisel {
namespace {

// Numbers as typed: an optional sign and decimal digits only, within the type's range.
TEST(FieldReadingTest, NumbersTakeAnOptionalSignAndDigitsOnly) {
    const struct {
        std::string text;
        std::optional<int64_t> integer;
        std::optional<uint32_t> unsigned32;
    } rows[] = {
        {"+7", 7, 7u},
        {"-3", -3, std::nullopt},
        {"4294967296", 4294967296, std::nullopt},
        {"-9223372036854775808", INT64_MIN, std::nullopt},
        {"9223372036854775808", std::nullopt, std::nullopt},
        {"-9223372036854775809", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"+", std::nullopt, std::nullopt},
        {"1.5", std::nullopt, std::nullopt},
        {"+-1", std::nullopt, std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(readInteger(row.text), row.integer) << row.text;
        EXPECT_EQ(readUnsigned32(row.text), row.unsigned32) << row.text;
    }
}

// The address ends with the text: what follows an embedded NUL is not ignored. Names and
// malformed addresses are refused in the settings dialog's checks.
TEST(FieldReadingTest, IPv4TakesTheWholeText) {
    EXPECT_TRUE(isIPv4Address("10.0.0.1"));
    EXPECT_FALSE(isIPv4Address(std::string("10.0.0.1\0junk", 13)));
}

}  // namespace
}  // namespace vornisel
