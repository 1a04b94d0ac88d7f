#include "l10n/number_format.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/scoped_locale.h"

namespace vornisel {
namespace {

TEST(NumberFormatTest, PointAndNoGroupingUnderEveryLocale) {
    struct Case {
        double value;
        int decimals;
        std::string text;
    };
    const Case cases[] = {
        {1.3333, 2, "1.33"},
        {0.587, 2, "0.59"},
        {1234567.891, 2, "1234567.89"},
        {1e20, 1, "100000000000000000000.0"},
        {2.5001, 0, "3"},
    };
    for (const char* name : {"C", "de_DE.UTF-8"}) {
        test::ScopedLocale locale(name);
        if (!locale) GTEST_SKIP() << name << " is not installed";
        for (const auto& c : cases)
            EXPECT_EQ(fixedDecimals(c.value, c.decimals), c.text) << name;
        const std::string largest = fixedDecimals(std::numeric_limits<double>::lowest(), 100);
        EXPECT_EQ(largest.size(), 411u) << "sign, 309 digits, point and 100 decimals";
    }
}

}  // namespace
}  // namespace vornisel
