#include "model/mapping_conflicts.h"

#include <map>

namespace vornisel {
namespace {

// Entries "<label> <channel + 1>: <names>" for every driver channel listed more than once.
void appendConflicts(const std::vector<Profile>& clients, bool input, const std::string& label,
                     std::vector<std::string>& entries) {
    std::map<int, std::vector<std::string>> claims;
    for (const Profile& profile : clients) {
        for (int channel : channelList(input ? profile.driverInputs : profile.driverOutputs)) {
            claims[channel].push_back(profile.name);
        }
    }
    for (const auto& [channel, names] : claims) {
        if (names.size() < 2) continue;
        std::string entry = label + " " + std::to_string(static_cast<int64_t>(channel) + 1) + ": ";
        for (size_t i = 0; i < names.size(); ++i)
            entry += (i > 0 ? ", " : "") + names[i];
        entries.push_back(std::move(entry));
    }
}

}  // namespace

std::string mappingConflicts(const std::vector<Profile>& clients, const std::string& inputLabel,
                             const std::string& outputLabel) {
    std::vector<std::string> entries;
    appendConflicts(clients, true, inputLabel, entries);
    appendConflicts(clients, false, outputLabel, entries);
    std::string text;
    for (size_t i = 0; i < entries.size(); ++i)
        text += (i > 0 ? "; " : "") + entries[i];
    return text;
}

}  // namespace vornisel
