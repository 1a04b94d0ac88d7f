#include "l10n/number_format.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/scoped_locale.h"

namespace vornisel {
namespace {

TEST(NumberFormatTest, PointAndNoGroupingUnderEveryLocale) {
    // Value, decimals, text.
    const std::vector<std::tuple<double, int, std::string>> cases = {
        {1.3333, 2, "1.33"},
        {1234567.891, 2, "1234567.89"},
        {2.5001, 0, "3"},
        {-0.5, -1, "-0"},
    };
    for (const char* name : {"C", "de_DE.UTF-8"}) {
        test::ScopedLocale locale(name);
        if (!locale) GTEST_SKIP() << name << " is not installed";
        for (const auto& [value, decimals, text] : cases)
            EXPECT_EQ(fixedDecimals(value, decimals), text) << name;
        // At most 100 decimals; the largest number still fits.
        EXPECT_EQ(fixedDecimals(std::numeric_limits<double>::lowest(), 101).size(), 411u);
    }
}

}  // namespace
}  // namespace vornisel
