#include "server_options.h"

#include <charconv>

namespace vornisel::server {

namespace {

std::optional<uint16_t> parsePort(const std::string& text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > 65535) return std::nullopt;
    return static_cast<uint16_t>(value);
}

}  // namespace

std::optional<ServerOptions> parseServerOptions(const std::vector<std::string>& arguments,
                                                std::string& error) {
    ServerOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help") {
            options.help = true;
            continue;
        }
        if (option == "--no-dnssd") {
            options.dnssd = false;
            continue;
        }
        if (option != "--port" && option != "--bind" && option != "--name" && option != "--user") {
            error = "unknown option \"" + option + "\"";
            return std::nullopt;
        }
        if (i + 1 == arguments.size()) {
            error = option + " needs a value";
            return std::nullopt;
        }
        const std::string& value = arguments[++i];
        if (option == "--port") {
            const auto port = parsePort(value);
            if (!port) {
                error = "the port must be a number from 0 to 65535, not \"" + value + "\"";
                return std::nullopt;
            }
            options.port = *port;
        } else if (option == "--bind") {
            options.bind = value;
        } else if (option == "--name") {
            options.name = value;
        } else {
            options.user = value;
        }
    }
    return options;
}

const char* serverUsage() {
    return "Usage: vornisel-server [--port N] [--bind ADDRESS] [--name NAME] [--no-dnssd] "
           "[--user NAME]\n"
           "Relays audio between Vornisel engines: each receives the mix of the others.\n"
           "  --port N        UDP port to listen on (default 28010; 0 picks a free one)\n"
           "  --bind ADDRESS  listen on this address only (default: every address)\n"
           "  --name NAME     the name announced through DNS-SD\n"
           "  --no-dnssd      do not announce through DNS-SD (broadcast discovery still works)\n"
           "  --user NAME     the user to become when started as root (default nobody)\n";
}

}  // namespace vornisel::server
