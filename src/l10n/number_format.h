#pragma once

#include <string>

namespace vornisel {

// A number as people see it on the panel: fixed notation with `decimals` digits after a "."
// (0 to 100), no grouping, rounded to nearest. Unlike printf and streams it never follows the
// process locale, which the toolkit takes from the session (a German one would show "1,33").
std::string fixedDecimals(double value, int decimals);

}  // namespace vornisel
