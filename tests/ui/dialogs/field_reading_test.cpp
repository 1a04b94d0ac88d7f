#include "ui/dialogs/field_reading.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vornisel {
namespace {

TEST(FieldReadingTest, IntegersTakeAnOptionalSignAndDigitsOnly) {
    struct Row {
        std::string text;
        std::optional<int64_t> expected;
    };
    const Row rows[] = {
        {"0", 0},
        {"128", 128},
        {"+7", 7},
        {"-3", -3},
        {"007", 7},
        {"-0", 0},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"1.5", std::nullopt},
        {"1e3", std::nullopt},
        {"abc", std::nullopt},
        {"+-1", std::nullopt},
        {"0x10", std::nullopt},
        {"\xd9\xa3", std::nullopt},  // an Arabic-Indic digit is not a decimal digit here
    };
    for (const auto& row : rows)
        EXPECT_EQ(readInteger(row.text), row.expected) << row.text;
}

TEST(FieldReadingTest, Unsigned32RefusesSignsOtherThanPlus) {
    struct Row {
        std::string text;
        std::optional<uint32_t> expected;
    };
    const Row rows[] = {
        {"0", 0u},
        {"+1", 1u},
        {"4294967295", 4294967295u},
        {"4294967296", std::nullopt},
        {"-1", std::nullopt},
        {"-0", std::nullopt},
        {"", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"12a", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(readUnsigned32(row.text), row.expected) << row.text;
}

TEST(FieldReadingTest, IPv4IsStrictDottedDecimal) {
    struct Row {
        std::string text;
        bool valid;
    };
    const Row rows[] = {
        {"127.0.0.1", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"192.168.1.1", true},
        {"256.1.1.1", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"01.2.3.4", false},
        {"1.2.3.04", false},
        {"1..2.3", false},
        {"1.2.3.4 ", false},
        {" 1.2.3.4", false},
        {"localhost", false},
        {"::1", false},
        {"fe80::1", false},
        {"1.2.3.-4", false},
        {"+1.2.3.4", false},
        {"1.2.3.4.", false},
        {"", false},
        {"0x7f.0.0.1", false},
        {"1.2.3.0255", false},
        {std::string("10.0.0.1\0junk", 13), false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isIPv4Address(row.text), row.valid) << row.text;
        in_addr address{};
        if (row.text.find('\0') == std::string::npos) {
            EXPECT_EQ(inet_pton(AF_INET, row.text.c_str(), &address) == 1, row.valid) << row.text;
        }
    }
}

}  // namespace
}  // namespace vornisel
