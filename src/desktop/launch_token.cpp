#include "desktop/launch_token.h"

#include <algorithm>
#include <cstdlib>

namespace vornisel {

namespace {

constexpr std::string_view kRequest = "reopen";
constexpr std::string_view kStartupId = "DESKTOP_STARTUP_ID=";
constexpr std::string_view kActivationToken = "XDG_ACTIVATION_TOKEN=";

// Values travel unquoted in a line of space-separated fields.
bool sendable(std::string_view value) {
    return !value.empty() && value.size() <= 255 &&
           std::all_of(value.begin(), value.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value && sendable(value) ? value : "";
}

}  // namespace

LaunchToken LaunchToken::fromEnvironment() {
    return {environmentValue("DESKTOP_STARTUP_ID"), environmentValue("XDG_ACTIVATION_TOKEN")};
}

std::string reopenRequestLine(const LaunchToken& token) {
    std::string line(kRequest);
    if (sendable(token.startupId)) line += " " + std::string(kStartupId) + token.startupId;
    if (sendable(token.activationToken)) {
        line += " " + std::string(kActivationToken) + token.activationToken;
    }
    return line + "\n";
}

std::optional<LaunchToken> parseReopenRequest(std::string_view line) {
    if (line.size() > kMaxReopenRequest || !line.ends_with('\n')) return std::nullopt;
    line.remove_suffix(1);
    size_t space = line.find(' ');
    if (line.substr(0, space) != kRequest) return std::nullopt;
    LaunchToken token;
    while (space != std::string_view::npos) {
        line.remove_prefix(space + 1);
        space = line.find(' ');
        const std::string_view field = line.substr(0, space);
        for (auto [key, value] : {std::pair{kStartupId, &token.startupId},
                                  std::pair{kActivationToken, &token.activationToken}}) {
            if (field.starts_with(key) && sendable(field.substr(key.size()))) {
                *value = std::string(field.substr(key.size()));
            }
        }
    }
    return token;
}

}  // namespace vornisel
