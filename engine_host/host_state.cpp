#include "host_state.h"

namespace vornisel::enginehost {

nlohmann::ordered_json stateHead(const HostOptions& options, const StateHead& head) {
    return {
        {"ok", true},
        {"clientId", options.clientId},
        {"abiVersion", host::kAbiVersion},
        {"status", head.status},
        {"health", head.status == 3 ? 1 : 0},
        {"healthReason", head.status == 2 ? 1 : 0},
        {"healthMessageKey", ""},
        {"lastErrorKey", head.errorKey},
        {"sampleRate", head.sampleRate},
        {"blockFrames", options.blockFrames},
        {"latencyBlocks", options.latencyBlocks},
        {"server", options.server},
    };
}

void appendLevelsAndEvents(nlohmann::ordered_json& state, const HostOptions& options,
                           const std::vector<int>& inputPeaks, const std::vector<int>& outputPeaks,
                           const RecoveryEvents& events) {
    auto levels = [](const std::vector<int>& channels, const std::vector<int>& peaks) {
        auto list = nlohmann::ordered_json::array();
        for (size_t i = 0; i < channels.size(); ++i)
            list.push_back(
                {{"driverChannel", channels[i]}, {"peakMilli", i < peaks.size() ? peaks[i] : 0}});
        return list;
    };
    state["inputLevels"] = levels(options.driverInputs, inputPeaks);
    state["outputLevels"] = levels(options.driverOutputs, outputPeaks);
    auto list = nlohmann::ordered_json::array();
    for (const auto& [reason, key] : events)
        list.push_back({{"reason", reason}, {"messageKey", key}});
    state["recoveryEvents"] = std::move(list);
}

}  // namespace vornisel::enginehost
