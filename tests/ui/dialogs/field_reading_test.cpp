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
        {"0", 0, 0u},
        {"+7", 7, 7u},
        {"007", 7, 7u},
        {"-3", -3, std::nullopt},
        {"-0", 0, std::nullopt},
        {"4294967295", 4294967295, 4294967295u},
        {"4294967296", 4294967296, std::nullopt},
        {"9223372036854775807", INT64_MAX, std::nullopt},
        {"-9223372036854775808", INT64_MIN, std::nullopt},
        {"9223372036854775808", std::nullopt, std::nullopt},
        {"-9223372036854775809", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"+", std::nullopt, std::nullopt},
        {" 5", std::nullopt, std::nullopt},
        {"5 ", std::nullopt, std::nullopt},
        {"1.5", std::nullopt, std::nullopt},
        {"+-1", std::nullopt, std::nullopt},
        {"0x10", std::nullopt, std::nullopt},
        {"\xd9\xa3", std::nullopt, std::nullopt},  // an Arabic-Indic digit
    };
    for (const auto& row : rows) {
        EXPECT_EQ(readInteger(row.text), row.integer) << row.text;
        EXPECT_EQ(readUnsigned32(row.text), row.unsigned32) << row.text;
    }
}

// Dotted decimal only: no names, no IPv6, no leading zeros, nothing around the address.
TEST(FieldReadingTest, IPv4IsStrictDottedDecimal) {
    const struct {
        std::string text;
        bool valid;
    } rows[] = {
        {"127.0.0.1", true},
        {"255.255.255.255", true},
        {"256.1.1.1", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"01.2.3.4", false},
        {"1.2.3.4 ", false},
        {"localhost", false},
        {"::1", false},
        {"", false},
        {std::string("10.0.0.1\0junk", 13), false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isIPv4Address(row.text), row.valid) << row.text;
}

}  // namespace
}  // namespace vornisel
