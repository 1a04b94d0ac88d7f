#include "desktop/display_probe.h"

#include <xcb/xcb.h>

namespace vornisel {

std::optional<std::string> unreachableDisplay(
    const std::function<std::optional<std::string>(const char*)>& environment) {
    const std::string platform = environment("QT_QPA_PLATFORM").value_or("");
    const std::string display = environment("DISPLAY").value_or("");
    // The X platform is the toolkit's choice when named, or when no Wayland display is given.
    const bool x11 = platform.starts_with("xcb") ||
                     (platform.empty() && environment("WAYLAND_DISPLAY").value_or("").empty());
    if (!x11 || display.empty()) return std::nullopt;
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (!failed) return std::nullopt;
    return "vornisel-control: cannot open the display " + display +
           " (no X server answers there); start it in a desktop session.\n";
}

}  // namespace vornisel
