#pragma once

#include <exception>
#include <string>

namespace vornisel {

// How a failure reads in the notice bar: a file-system error names its file and says why in the
// user's language; any other error keeps its own message.
std::string errorText(const std::exception& error);

}  // namespace vornisel
