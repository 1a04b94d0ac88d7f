// channelList and the routes built on it: any text parses; the numbers are those of the pieces
// that read as decimal integers; routes written back read back unchanged; blocks stay in range.
#include <algorithm>
#include <string>

#include "fuzz_input.h"
#include "model/profile.h"

using namespace vornisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::text(data, size);
    const std::vector<int> channels = channelList(text);
    fuzz::require(
        channels.size() <= static_cast<size_t>(std::count(text.begin(), text.end(), ',')) + 1,
        "at most one channel per piece");
    fuzz::require(channelList(joinChannels(channels)) == channels, "a joined list reads back");

    // Split the input in two: map and driver list of one direction.
    const size_t half = size / 2;
    Profile profile;
    profile.outputMap = std::string(text.substr(0, half));
    profile.driverOutputs = std::string(text.substr(half));
    profile.latency = std::string(text.substr(0, std::min<size_t>(size, 12)));
    const auto routes = profile.routes(false);
    Profile written = profile;
    written.setRoutes(false, routes);
    fuzz::require(written.routes(false) == routes, "routes read back after setRoutes");
    fuzz::require(written.inputMap == profile.inputMap, "the other direction is untouched");
    const int blocks = profile.blocks();
    fuzz::require(blocks >= 1 && blocks <= 128, "blocks stay within 1..128");
    return 0;
}
