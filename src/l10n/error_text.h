#pragma once

#include <exception>
#include <string>

namespace vornisel {

// How a failure reads in a notice: a file that could not be used (a file-system error, or a file
// refused for what it is) names its file and says why in the user's language; any other error
// keeps its own message.
std::string errorText(const std::exception& error);

}  // namespace vornisel
