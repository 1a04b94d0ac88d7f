#include "host_options.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace vornisel::enginehost {

namespace {

template <class T>
std::optional<T> number(std::string_view text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::vector<int> channels(const std::string& text) {
    std::vector<int> list;
    std::stringstream in(text);
    std::string piece;
    while (std::getline(in, piece, ',')) {
        const auto begin = piece.find_first_not_of(' ');
        if (begin == std::string::npos) continue;
        if (auto channel = number<int>(piece.substr(begin))) list.push_back(*channel);
    }
    return list;
}

int envMs(const char* name, int fallback) {
    const char* text = std::getenv(name);
    if (!text) return fallback;
    auto value = number<int>(text);
    return value && *value >= 0 ? *value : fallback;
}

bool applyFault(Faults& faults, const std::string& word) {
    static const std::map<std::string, bool Faults::*> flags = {
        {"ignore-stop", &Faults::ignoreStop},
        {"ignore-sigterm", &Faults::ignoreSigterm},
        {"silent", &Faults::silent},
        {"no-reply", &Faults::noReply},
        {"garbage", &Faults::garbage},
        {"empty-object", &Faults::emptyObject},
        {"not-ok", &Faults::notOk},
        {"wrong-client-id", &Faults::wrongClientId},
        {"wrong-abi", &Faults::wrongAbi},
        {"huge-reply", &Faults::hugeReply},
        {"endless-reply", &Faults::endlessReply},
        {"reset", &Faults::reset},
        {"bad-magic", &Faults::badMagic},
        {"bad-version", &Faults::badVersion},
        {"bad-identity", &Faults::badIdentity},
        {"short-stats", &Faults::shortStats},
        {"shrink-stats", &Faults::shrinkStats},
        {"negative-stats", &Faults::negativeStats},
        {"flood-log", &Faults::floodLog},
    };
    if (auto flag = flags.find(word); flag != flags.end()) {
        faults.*(flag->second) = true;
        return true;
    }
    const auto equals = word.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = word.substr(0, equals);
    const std::string value = word.substr(equals + 1);
    if (key == "exit-after") {
        char* end = nullptr;
        const double seconds = std::strtod(value.c_str(), &end);
        if (end == value.c_str() || *end != '\0' || seconds < 0) return false;
        faults.exitAfter = seconds;
        return true;
    }
    if (key == "abi") {
        auto abi = number<int>(value);
        if (!abi) return false;
        faults.wrongAbi = true;
        faults.abi = *abi;
        return true;
    }
    if (key == "status") {
        auto status = number<int>(value);
        if (!status || *status < 0 || *status > 255) return false;
        faults.exitStatus = *status;
        return true;
    }
    return false;
}

}  // namespace

std::optional<HostOptions> parseCommandLine(int argc, char** argv, std::string& error) {
    const std::string usage =
        "usage: vornisel_macos_engine_host --config PATH --client-id ID --parent-pid PID";
    if (argc != 7 || std::string_view(argv[1]) != "--config" ||
        std::string_view(argv[3]) != "--client-id" || std::string_view(argv[5]) != "--parent-pid") {
        error = usage;
        return std::nullopt;
    }
    HostOptions options;
    options.configPath = argv[2];
    auto id = number<uint32_t>(argv[4]);
    auto parent = number<int>(argv[6]);
    if (!id || !parent || *parent <= 0) {
        error = usage;
        return std::nullopt;
    }
    options.clientId = *id;
    options.parentPid = *parent;
    return options;
}

bool readConfiguration(HostOptions& options, std::string& error) {
    std::ifstream in(options.configPath);
    if (!in) {
        error = "cannot read the configuration file " + options.configPath;
        return false;
    }
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '[' || equals == std::string::npos) continue;
        values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    if (auto blocks = number<int>(values["client_latency_blocks"]); blocks && *blocks >= 1)
        options.latencyBlocks = *blocks;
    options.driverOutputs = channels(values["driver_outputs"]);
    options.driverInputs = channels(values["driver_inputs"]);
    options.server = values["server_ip"];
    options.port = values["server_port"];
    options.device = values["device_uid"];
    options.outputMap = channels(values["output_map"]);
    options.inputMap = channels(values["input_map"]);
    return true;
}

bool readEnvironment(HostOptions& options, std::string& error) {
    options.startingMs = envMs("VORNISEL_HOST_STARTING_MS", options.startingMs);
    options.waitingMs = envMs("VORNISEL_HOST_WAITING_MS", options.waitingMs);
    options.sampleRate = envMs("VORNISEL_HOST_SAMPLE_RATE", options.sampleRate);
    options.blockFrames = envMs("VORNISEL_HOST_BLOCK_FRAMES", options.blockFrames);
    const char* simulate = std::getenv("VORNISEL_HOST_SIMULATE");
    options.simulate = simulate && std::string_view(simulate) == "1";
    const char* faults = std::getenv("VORNISEL_HOST_FAULT");
    if (!faults) return true;
    std::stringstream in(faults);
    std::string word;
    while (std::getline(in, word, ',')) {
        if (word.empty()) continue;
        if (!applyFault(options.faults, word)) {
            error = "unknown fault in VORNISEL_HOST_FAULT: " + word;
            return false;
        }
    }
    return true;
}

}  // namespace vornisel::enginehost
