#include "model/panel_document.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "base/safe_file.h"
#include "model/json_reader.h"

namespace vornisel {

uint32_t timePrefixFor(int month0, int day, int hour, int minute) {
    // Formatted and parsed back, as the prefix is defined by its "MMddHHmm" text; the C locale of
    // snprintf keeps the digits ASCII whatever the user's locale.
    char text[32];
    const int length =
        std::snprintf(text, sizeof text, "%02d%02d%02d%02d", month0 + 1, day, hour, minute);
    if (length <= 0 || length >= static_cast<int>(sizeof text)) return 1;
    const auto number = parseDecimal(text);
    if (!number || *number < 0 || *number > 0xFFFFFFFFLL) return 1;
    return static_cast<uint32_t>(*number);
}

uint32_t PanelSettings::timePrefix() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return 1;
    return timePrefixFor(local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min);
}

namespace {

// Whole sizes are written without a fraction ("width":1040), as they always have been.
nlohmann::ordered_json encodeSize(double value) {
    if (value == std::floor(value) && std::fabs(value) < 9.0e15) {
        return static_cast<int64_t>(value);
    }
    return value;
}

}  // namespace

bool isPresetId(std::string_view id) {
    return isPlainName(id);
}

nlohmann::ordered_json encodeSettings(const PanelSettings& settings) {
    return {
        {"language", settings.language},
        {"discovery", settings.discovery},
        {"server", settings.server},
        {"port", settings.port},
        {"prefix", settings.prefix},
        {"minimized", settings.minimized},
        {"login", settings.login},
        {"width", encodeSize(settings.width)},
        {"height", encodeSize(settings.height)},
    };
}

nlohmann::ordered_json encodePreset(const Preset& preset) {
    auto clients = nlohmann::ordered_json::array();
    for (const Profile& profile : preset.clients)
        clients.push_back(encodeProfile(profile));
    return {{"id", preset.id}, {"name", preset.name}, {"clients", std::move(clients)}};
}

nlohmann::ordered_json encodeDocument(const PanelDocument& document) {
    auto presets = nlohmann::ordered_json::array();
    for (const Preset& preset : document.presets)
        presets.push_back(encodePreset(preset));
    return {
        {"version", document.version},
        {"settings", encodeSettings(document.settings)},
        {"active", document.active},
        {"presets", std::move(presets)},
    };
}

std::string panelJsonText(const PanelDocument& document) {
    // Names can come from hardware or hand-edited files; a stray invalid byte is written as
    // U+FFFD rather than making every later save fail.
    return encodeDocument(document).dump(-1, ' ', false,
                                         nlohmann::ordered_json::error_handler_t::replace);
}

PanelSettings decodeSettings(const nlohmann::ordered_json& object, const std::string& file,
                             const std::string& path) {
    const JsonReader reader(object, file, path);
    PanelSettings settings{
        .language = reader.string("language"),
        .discovery = reader.boolean("discovery"),
        .server = reader.string("server"),
        .port = reader.int64("port"),
        .prefix = reader.uint32("prefix"),
        .minimized = reader.boolean("minimized"),
        .login = reader.boolean("login"),
        .width = reader.number("width"),
        .height = reader.number("height"),
    };
    // The code names a file of the bundle: a path in it would load one from elsewhere.
    if (!isPlainName(settings.language)) {
        throwDecodeError(file, reader.memberPath("language"),
                         "must be a plain name: not empty, \".\" or \"..\", without \"/\" or NUL");
    }
    return settings;
}

Preset decodePreset(const nlohmann::ordered_json& object, const std::string& file,
                    const std::string& path) {
    const JsonReader reader(object, file, path);
    Preset preset{.id = reader.string("id"), .name = reader.string("name"), .clients = {}};
    if (!isPresetId(preset.id)) {
        throwDecodeError(file, reader.memberPath("id"),
                         "must be a folder name: not empty, \".\" or \"..\", without \"/\" or NUL");
    }
    const auto& clients = reader.array("clients");
    preset.clients.reserve(clients.size());
    for (size_t i = 0; i < clients.size(); ++i) {
        preset.clients.push_back(decodeProfile(clients[i], file, reader.elementPath("clients", i)));
    }
    return preset;
}

PanelDocument decodeDocument(const nlohmann::ordered_json& object, const std::string& file) {
    const JsonReader reader(object, file, "");
    PanelDocument document{
        .version = reader.int64("version"),
        .settings = decodeSettings(reader.object("settings"), file, "settings"),
        .active = reader.string("active"),
        .presets = {},
    };
    const auto& presets = reader.array("presets");
    document.presets.reserve(presets.size());
    for (size_t i = 0; i < presets.size(); ++i) {
        document.presets.push_back(
            decodePreset(presets[i], file, reader.elementPath("presets", i)));
    }
    return document;
}

PanelDocument parsePanelDocument(std::string_view bytes, const std::string& file) {
    return decodeDocument(parseStoredJson(bytes, file), file);
}

std::vector<Profile> parseProfileList(std::string_view bytes, const std::string& file) {
    const auto json = parseStoredJson(bytes, file);
    if (!json.is_array()) throwDecodeError(file, "", "must hold a JSON array of devices");
    std::vector<Profile> profiles;
    profiles.reserve(json.size());
    for (size_t i = 0; i < json.size(); ++i) {
        std::string path = "[";
        path += std::to_string(i);
        path += ']';
        profiles.push_back(decodeProfile(json[i], file, path));
    }
    return profiles;
}

}  // namespace vornisel
