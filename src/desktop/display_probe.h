#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vornisel {

// Whether the X display that the toolkit is about to open answers. The toolkit aborts when it
// cannot connect, so a stale DISPLAY (a session that ended, a login service started before the
// display) is caught here first. `environment` reads a variable (nothing when unset).
// The line to print and exit with, or nothing when the display answers or is not an X one.
std::optional<std::string> unreachableDisplay(
    const std::function<std::optional<std::string>(const char*)>& environment);

}  // namespace vornisel
