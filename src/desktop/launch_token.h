#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vornisel {

// What a launcher hands the program it starts, so that the desktop can end its busy cursor and
// let the program's window come forward: the X11 startup notification id and the Wayland
// activation token. A second launch passes them on to the running panel with its reopen request.
struct LaunchToken {
    std::string startupId;        // DESKTOP_STARTUP_ID
    std::string activationToken;  // XDG_ACTIVATION_TOKEN

    // This process's, from its environment. A value that could not travel in a request (empty,
    // longer than 255 bytes, or not printable ASCII without spaces) is left out.
    static LaunchToken fromEnvironment();

    bool operator==(const LaunchToken&) const = default;
};

// The reopen request line: "reopen", then " DESKTOP_STARTUP_ID=<id>" and
// " XDG_ACTIVATION_TOKEN=<token>" for the values that are set, then a line feed.
std::string reopenRequestLine(const LaunchToken& token);
// The token of a reopen request line (with its line feed), or nothing when `line` is not one.
// Fields it does not know and values that could not have been sent are ignored.
std::optional<LaunchToken> parseReopenRequest(std::string_view line);

// The longest request line that parseReopenRequest accepts.
inline constexpr size_t kMaxReopenRequest = 1024;

}  // namespace vornisel
