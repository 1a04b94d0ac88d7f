// vornisel-server: relays audio between Vornisel engines. See docs/protocol.md.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <memory>

#include "dnssd_announcer.h"
#include "privileges.h"
#include "server_loop.h"
#include "server_options.h"

using namespace vornisel::server;

namespace {

std::string defaultName() {
    char host[HOST_NAME_MAX + 1] = {};
    gethostname(host, sizeof host - 1);
    return std::string("Vornisel server on ") + host;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "vornisel-server: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = parseServerOptions({argv + 1, argv + argc}, error);
    if (!options) {
        std::fprintf(stderr, "vornisel-server: %s\n%s", error.c_str(), serverUsage());
        return 2;
    }
    if (options->help) {
        std::fputs(serverUsage(), stdout);
        return 0;
    }
    auto endpoint = UdpEndpoint::open(options->bind, options->port, error);
    if (!endpoint) return fail(error);
    if (!dropRoot(options->user, error)) return fail(error);
    blockStopSignals();
    const uint16_t port = endpoint->port();
    // Tests start the server on port 0 and read the chosen port from this line.
    std::printf("vornisel-server: listening on %s port %u\n",
                options->bind.empty() ? "every address" : options->bind.c_str(), port);
    std::fflush(stdout);
    std::unique_ptr<DnsSdAnnouncer> announcer;
    if (options->dnssd)
        announcer = std::make_unique<DnsSdAnnouncer>(
            options->name.empty() ? defaultName() : options->name, port);
    auto relay = std::make_unique<Relay>(port, [](const std::string& line) {
        std::fprintf(stderr, "vornisel-server: %s\n", line.c_str());
    });
    return runServerLoop(*endpoint, *relay);
}
