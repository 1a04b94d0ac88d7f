#include "model/mapping_conflicts.h"

#include <map>

namespace vornisel {
namespace {

void appendConflicts(const std::vector<Profile>& clients, bool input,
                     std::vector<MappingConflict>& conflicts) {
    std::map<int, std::vector<std::string>> claims;
    for (const Profile& profile : clients) {
        for (int channel : channelList(input ? profile.driverInputs : profile.driverOutputs)) {
            claims[channel].push_back(profile.name);
        }
    }
    for (auto& [channel, names] : claims) {
        if (names.size() < 2) continue;
        conflicts.push_back({input, channel, std::move(names)});
    }
}

}  // namespace

std::vector<MappingConflict> mappingConflicts(const std::vector<Profile>& clients) {
    std::vector<MappingConflict> conflicts;
    appendConflicts(clients, true, conflicts);
    appendConflicts(clients, false, conflicts);
    return conflicts;
}

}  // namespace vornisel
