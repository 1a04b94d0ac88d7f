#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/profile.h"

namespace vornisel {

// A named set of devices.
struct Preset {
    std::string id = "";
    std::string name = "";
    std::vector<Profile> clients = {};

    bool operator==(const Preset&) const = default;
};

// Application settings.
struct PanelSettings {
    // Month, day, hour and minute of the local time as one number ("MMddHHmm"), e.g. 3070905.
    static uint32_t timePrefix();

    std::string language = "en";
    bool discovery = true;
    std::string server = "127.0.0.1";
    int64_t port = 28010;
    uint32_t prefix = timePrefix();
    bool minimized = false;
    bool login = false;
    double width = 1040.0;
    double height = 720.0;

    bool operator==(const PanelSettings&) const = default;
};

// Everything persisted in panel.json.
struct PanelDocument {
    int64_t version = 2;
    PanelSettings settings;
    std::string active = "default";
    std::vector<Preset> presets = {{"default", "Default", {}}};

    bool operator==(const PanelDocument&) const = default;
};

// Whether `id` can be a preset's identifier. It names the preset's folder of configuration files
// inside the data directory, so it must be one plain folder name: not empty, "." or "..", and
// without "/" or NUL.
bool isPresetId(std::string_view id);

// The prefix for a given local time (fields as in struct tm: month 0..11, hour 0..23).
uint32_t timePrefixFor(int month0, int day, int hour, int minute);

nlohmann::ordered_json encodeSettings(const PanelSettings& settings);
nlohmann::ordered_json encodePreset(const Preset& preset);
nlohmann::ordered_json encodeDocument(const PanelDocument& document);

// The compact text of panel.json.
std::string panelJsonText(const PanelDocument& document);

// Strict decoding of the records; `file` and `path` name the object in messages (file
// "panel.json", path "settings"). Throws DecodeError.
PanelSettings decodeSettings(const nlohmann::ordered_json& object, const std::string& file,
                             const std::string& path);
Preset decodePreset(const nlohmann::ordered_json& object, const std::string& file,
                    const std::string& path);
PanelDocument decodeDocument(const nlohmann::ordered_json& object, const std::string& file);

// Largest panel.json or profiles.json that is read: anything bigger is not a panel document.
inline constexpr std::size_t maxDocumentBytes = 16 * 1024 * 1024;
// Deepest nesting of arrays and objects accepted; a panel document needs 5.
inline constexpr int maxDocumentDepth = 64;

// Parses and decodes the bytes of a panel document / a legacy device list. `file` is the name
// used in messages. Throws DecodeError for bad JSON, invalid UTF-8, excessive nesting or size, and
// for any member that is missing, null or of the wrong type.
PanelDocument parsePanelDocument(std::string_view bytes, const std::string& file = "panel.json");
std::vector<Profile> parseProfileList(std::string_view bytes,
                                      const std::string& file = "profiles.json");

}  // namespace vornisel
