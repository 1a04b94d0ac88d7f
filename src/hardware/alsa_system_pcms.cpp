#include "hardware/alsa_system_pcms.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "hardware/alsa_config_path.h"

namespace vornisel {

namespace {

// A hint field as text; ALSA hands out copies the caller frees.
std::string hintField(const void* hint, const char* field) {
    std::unique_ptr<char, void (*)(void*)> text(snd_device_name_get_hint(hint, field), std::free);
    return text ? text.get() : "";
}

bool namesCard(const std::string& arguments) {
    for (size_t start = 0; start <= arguments.size();) {
        size_t end = arguments.find(',', start);
        if (end == std::string::npos) end = arguments.size();
        if (arguments.compare(start, 5, "CARD=") == 0) return true;
        start = end + 1;
    }
    return false;
}

bool listed(const std::vector<ConfiguredPcm>& pcms, const std::string& name) {
    return std::any_of(pcms.begin(), pcms.end(),
                       [&](const ConfiguredPcm& pcm) { return pcm.name == name; });
}

}  // namespace

std::string pcmType(const std::string& name) {
    if (snd_config_update() < 0 || snd_config == nullptr) return "";
    // The definition with its arguments filled in, as opening it would see it: a copy to free.
    snd_config_t* found = nullptr;
    if (snd_config_search_definition(snd_config, "pcm", name.c_str(), &found) < 0) return "";
    std::unique_ptr<snd_config_t, int (*)(snd_config_t*)> definition(found, snd_config_delete);
    snd_config_t* type = nullptr;
    const char* text = nullptr;
    if (snd_config_search(definition.get(), "type", &type) < 0 ||
        snd_config_get_string(type, &text) < 0 || text == nullptr) {
        return "";
    }
    return text;
}

bool offeredSystemPcm(const std::string& name, const std::string& type) {
    return name == "default" || type == "pipewire" || type == "pulse" || type == "jack";
}

bool offeredHintedPcm(const std::string& name) {
    if (name.empty() || name == "null" || isOwnDevice(name)) return false;
    const size_t colon = name.find(':');
    return colon == std::string::npos || !namesCard(name.substr(colon + 1));
}

std::vector<ConfiguredPcm> describedPcms() {
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return {};
    std::unique_ptr<void*, int (*)(void**)> freer(hints, snd_device_name_free_hint);
    std::vector<ConfiguredPcm> result;
    for (void** hint = hints; *hint != nullptr; ++hint) {
        ConfiguredPcm pcm{hintField(*hint, "NAME"), hintField(*hint, "DESC")};
        if (!pcm.name.empty() && !pcm.description.empty()) result.push_back(std::move(pcm));
    }
    return result;
}

std::vector<ConfiguredPcm> systemPcms(const std::vector<std::string>& taken) {
    const std::vector<ConfiguredPcm> deliberate = visiblePcms(deliberateConfigFiles());
    std::vector<ConfiguredPcm> offered;
    const auto known = [&](const std::string& name) {
        return std::find(taken.begin(), taken.end(), name) != taken.end() || listed(offered, name);
    };
    for (ConfiguredPcm& pcm : describedPcms()) {
        // Checked before probing: opening the product's own PCMs could disturb an engine, and
        // opening a plugin that is no device costs a probe for nothing.
        if (!offeredHintedPcm(pcm.name) || known(pcm.name)) continue;
        if (listed(deliberate, pcm.name) || offeredSystemPcm(pcm.name, pcmType(pcm.name))) {
            offered.push_back(std::move(pcm));
        }
    }
    return offered;
}

}  // namespace vornisel
