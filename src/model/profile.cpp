#include "model/profile.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/utf8.h"
#include "model/json_reader.h"

namespace vornisel {
namespace {

// Tab and the Unicode space separators (category Zs), such as the no-break space that a copied
// list may carry; line breaks are not blanks.
bool isBlank(char32_t c) {
    return c == U'\t' || c == U' ' || c == U'\u00A0' || c == U'\u1680' ||
           (c >= U'\u2000' && c <= U'\u200A') || c == U'\u202F' || c == U'\u205F' || c == U'\u3000';
}

std::string_view trimBlanks(std::string_view text) {
    size_t begin = text.size();
    size_t end = 0;
    for (size_t offset = 0; offset < text.size();) {
        const size_t start = offset;
        if (isBlank(nextCodePoint(text, offset))) continue;
        begin = std::min(begin, start);
        end = offset;
    }
    return begin < end ? text.substr(begin, end - begin) : std::string_view();
}

}  // namespace

std::optional<int64_t> parseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Accumulate as unsigned so that the most negative value parses without overflow.
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    const auto limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (negative) {
        if (magnitude > limit + 1) return std::nullopt;
        return magnitude == limit + 1 ? std::numeric_limits<int64_t>::min()
                                      : -static_cast<int64_t>(magnitude);
    }
    if (magnitude > limit) return std::nullopt;
    return static_cast<int64_t>(magnitude);
}

std::vector<int> channelList(std::string_view text) {
    std::vector<int> channels;
    while (true) {
        const auto comma = text.find(',');
        const auto value = parseDecimal(trimBlanks(text.substr(0, comma)));
        if (value && *value >= std::numeric_limits<int>::min() &&
            *value <= std::numeric_limits<int>::max()) {
            channels.push_back(static_cast<int>(*value));
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return channels;
}

std::string joinChannels(const std::vector<int>& channels) {
    std::string text;
    for (size_t i = 0; i < channels.size(); ++i) {
        if (i > 0) text += ',';
        text += std::to_string(channels[i]);
    }
    return text;
}

int Profile::blocks() const {
    const std::string mode = latencyMode.value_or("Custom");
    if (mode == "Low") return 1;
    if (mode == "Stable") return 2;
    if (mode == "Safe") return 4;
    const auto number = parseDecimal(latency);
    if (!number) return 6;
    return static_cast<int>(std::clamp<int64_t>(*number, 1, 128));
}

std::map<int, int> Profile::routes(bool input) const {
    const auto hardware = channelList(input ? inputMap : outputMap);
    const auto driver = channelList(input ? driverInputs : driverOutputs);
    std::map<int, int> result;
    for (size_t i = 0; i < std::min(hardware.size(), driver.size()); ++i) {
        result[hardware[i]] = driver[i];
    }
    return result;
}

void Profile::setRoutes(bool input, const std::map<int, int>& routes) {
    std::vector<int> hardware;
    std::vector<int> driver;
    for (const auto& [hardwareChannel, driverChannel] : routes) {
        hardware.push_back(hardwareChannel);
        driver.push_back(driverChannel);
    }
    (input ? inputMap : outputMap) = joinChannels(hardware);
    (input ? driverInputs : driverOutputs) = joinChannels(driver);
}

nlohmann::ordered_json encodeProfile(const Profile& profile) {
    nlohmann::ordered_json object = {
        {"id", profile.id},
        {"name", profile.name},
        {"server", profile.server},
        {"port", profile.port},
        {"device", profile.device},
        {"latency", profile.latency},
        {"driverOutputs", profile.driverOutputs},
        {"outputMap", profile.outputMap},
        {"driverInputs", profile.driverInputs},
        {"inputMap", profile.inputMap},
    };
    if (profile.latencyMode) object["latencyMode"] = *profile.latencyMode;
    return object;
}

Profile decodeProfile(const nlohmann::ordered_json& object, const std::string& file,
                      const std::string& path) {
    const JsonReader reader(object, file, path);
    return Profile{
        .id = reader.uint32("id"),
        .name = reader.string("name"),
        .server = reader.string("server"),
        .port = reader.string("port"),
        .device = reader.string("device"),
        .latency = reader.string("latency"),
        .driverOutputs = reader.string("driverOutputs"),
        .outputMap = reader.string("outputMap"),
        .driverInputs = reader.string("driverInputs"),
        .inputMap = reader.string("inputMap"),
        .latencyMode = reader.optionalString("latencyMode"),
    };
}

}  // namespace vornisel
