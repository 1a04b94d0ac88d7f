#include "hardware/alsa_user_pcms.h"

#include <alsa/asoundlib.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "hardware/pcm_probe.h"

namespace vornisel {

namespace {

using ConfigTree = std::unique_ptr<snd_config_t, int (*)(snd_config_t*)>;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// ALSA expands "~" in its file list the same way: $HOME, else the password database.
std::string homeDirectory() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

// Later files extend and override earlier ones, as they do in ALSA's own configuration.
void loadInto(snd_config_t* top, const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return;
    snd_input_t* input = nullptr;
    if (snd_input_stdio_open(&input, file.c_str(), "r") < 0) return;
    snd_config_load(top, input);
    snd_input_close(input);
}

std::optional<ConfiguredPcm> visiblePcm(snd_config_t* pcm) {
    const char* id = nullptr;
    snd_config_t* hint = nullptr;
    if (snd_config_get_id(pcm, &id) < 0 || id == nullptr) return std::nullopt;
    if (snd_config_search(pcm, "hint", &hint) < 0 ||
        snd_config_get_type(hint) != SND_CONFIG_TYPE_COMPOUND) {
        return std::nullopt;
    }
    // As ALSA's own hints: a "show" that is not plainly on (off, or something unreadable) hides.
    snd_config_t* show = nullptr;
    if (snd_config_search(hint, "show", &show) >= 0 && snd_config_get_bool(show) <= 0) {
        return std::nullopt;
    }
    ConfiguredPcm result{id, ""};
    snd_config_t* description = nullptr;
    const char* text = nullptr;
    if (snd_config_search(hint, "description", &description) >= 0 &&
        snd_config_get_string(description, &text) >= 0 && text != nullptr) {
        result.description = text;
    }
    return result;
}

// What a person reads: the first line of the description (the device; later lines tell the use),
// or the name when there is none.
std::string displayName(const ConfiguredPcm& pcm) {
    std::string name = pcm.description.substr(0, pcm.description.find('\n'));
    return name.empty() ? pcm.name : name;
}

std::vector<int> streams(const ChannelProbe& probe) {
    // A busy PCM exists in this direction; how many channels the holder uses is not known here.
    const int channels = probe.busy ? kBusyFallbackChannels : probe.channels;
    if (channels <= 0) return {};
    return {channels};
}

}  // namespace

std::vector<std::filesystem::path> userConfigFiles(const std::string& home,
                                                   const std::string& xdgConfigHome) {
    std::vector<std::filesystem::path> files;
    if (!home.empty()) files.push_back(std::filesystem::path(home) / ".asoundrc");
    if (!xdgConfigHome.empty()) {
        files.push_back(std::filesystem::path(xdgConfigHome) / "alsa" / "asoundrc");
    } else if (!home.empty()) {
        files.push_back(std::filesystem::path(home) / ".config" / "alsa" / "asoundrc");
    }
    return files;
}

std::vector<ConfiguredPcm> visiblePcms(const std::vector<std::filesystem::path>& files) {
    snd_config_t* raw = nullptr;
    if (snd_config_top(&raw) < 0) return {};
    ConfigTree top(raw, snd_config_delete);
    for (const auto& file : files)
        loadInto(top.get(), file);

    std::vector<ConfiguredPcm> result;
    snd_config_t* pcms = nullptr;
    if (snd_config_search(top.get(), "pcm", &pcms) < 0 ||
        snd_config_get_type(pcms) != SND_CONFIG_TYPE_COMPOUND) {
        return result;
    }
    snd_config_iterator_t it, next;
    snd_config_for_each(it, next, pcms) {
        snd_config_t* pcm = snd_config_iterator_entry(it);
        if (snd_config_get_type(pcm) != SND_CONFIG_TYPE_COMPOUND) continue;
        if (auto visible = visiblePcm(pcm)) result.push_back(std::move(*visible));
    }
    return result;
}

std::vector<std::filesystem::path> currentUserConfigFiles() {
    return userConfigFiles(homeDirectory(), environment("XDG_CONFIG_HOME"));
}

std::vector<DeviceCandidate> configuredCandidates(const std::vector<ConfiguredPcm>& pcms) {
    std::vector<std::string> names;
    for (const ConfiguredPcm& pcm : pcms)
        names.push_back(pcm.name);
    const auto probed = probeChannelsWithin(names, kConfiguredPcmProbeBound);
    std::vector<DeviceCandidate> result;
    for (size_t i = 0; i < pcms.size(); ++i) {
        DeviceCandidate candidate{pcms[i].name, displayName(pcms[i]), {}, {}};
        // A PCM whose probe did not answer in time offers no channel, so it is left out.
        if (probed[i]) {
            candidate.inputStreams = streams(probed[i]->input);
            candidate.outputStreams = streams(probed[i]->output);
        }
        result.push_back(std::move(candidate));
    }
    return result;
}

std::vector<ConfiguredPcm> userPcms() {
    std::vector<ConfiguredPcm> offered;
    for (ConfiguredPcm& pcm : visiblePcms(currentUserConfigFiles())) {
        // The product's own PCMs are never offered; opening them just to drop them could
        // disturb an engine that uses them.
        if (!isOwnDevice(pcm.name)) offered.push_back(std::move(pcm));
    }
    return offered;
}

}  // namespace vornisel
