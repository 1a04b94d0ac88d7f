#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace vornisel {

// One virtual audio device ("client"). Almost everything is kept as the text that is stored and
// handed to the engine; numbers are derived on demand, so hand-edited files survive a round trip.
struct Profile {
    uint32_t id = 0;
    std::string name = "";
    std::string server = "auto";
    std::string port = "28010";
    std::string device = "";
    std::string latency = "2";
    std::string driverOutputs = "";
    std::string outputMap = "";
    std::string driverInputs = "";
    std::string inputMap = "";
    std::optional<std::string> latencyMode = std::nullopt;

    // Latency in blocks, 1..128: "Low" 1, "Stable" 2, "Safe" 4, otherwise the number in `latency`
    // clamped to 1..128, or 6 when `latency` cannot be read.
    int blocks() const;

    // Routes of one direction as hardware channel -> driver channel, paired position by position;
    // a repeated hardware channel keeps its later pair.
    std::map<int, int> routes(bool input) const;

    // Replaces the two channel lists of one direction, ordered by hardware channel.
    void setRoutes(bool input, const std::map<int, int>& routes);

    bool operator==(const Profile&) const = default;
};

// Parses a channel list such as "0,1,4": pieces are trimmed of spaces and tabs, empty or
// unreadable pieces are skipped, order, duplicates and negative numbers are kept.
std::vector<int> channelList(std::string_view text);

// Parses a signed decimal integer: an optional sign, then digits only, nothing else, no overflow.
std::optional<int64_t> parseDecimal(std::string_view text);

// Joins channel indexes as "0,1,4".
std::string joinChannels(const std::vector<int>& channels);

// JSON form: every field in declaration order, "id" a number, the rest strings, "latencyMode"
// omitted when absent.
nlohmann::ordered_json encodeProfile(const Profile& profile);

// Strict decoding. `file` and `path` name the object in error messages, e.g. file "panel.json"
// and path "presets[0].clients[1]". Throws DecodeError (model/decode_error.h).
Profile decodeProfile(const nlohmann::ordered_json& object, const std::string& file,
                      const std::string& path);

}  // namespace vornisel
