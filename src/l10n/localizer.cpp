#include "l10n/localizer.h"

#include <fstream>
#include <iterator>

#include "base/app_bundle.h"
#include "base/utf8.h"

namespace vornisel {
namespace {

bool isLineSeparator(char32_t c) {
    return c == U'\n' || c == U'\v' || c == U'\f' || c == U'\r' || c == U'\u0085' ||
           c == U'\u2028' || c == U'\u2029';
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    size_t position = 0;
    while ((position = text.find(from, position)) != std::string::npos) {
        text.replace(position, from.size(), to);
        position += to.size();
    }
}

void addEntry(std::map<std::string, std::string>& values, std::string_view line) {
    if (line.empty() || line.front() == ';') return;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return;
    values[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
}

// The whole file as text, or nothing when it is missing, unreadable or not UTF-8.
std::optional<std::string> readLanguageFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad() || invalidUtf8Offset(text)) return std::nullopt;
    return text;
}

}  // namespace

Localizer& Localizer::shared() {
    static Localizer instance;
    return instance;
}

void Localizer::load(const std::string& language) {
    load(language, AppBundle::resources());
}

void Localizer::load(const std::string& language, const std::filesystem::path& resources) {
    values.clear();
    if (resources.empty()) return;
    for (const std::string& code : {std::string("en"), language}) {
        if (const auto text = readLanguageFile(resources / "lang" / (code + ".ini"))) {
            addEntries(*text);
        }
    }
}

void Localizer::addEntries(std::string_view fileText) {
    size_t lineStart = 0;
    size_t offset = 0;
    while (offset < fileText.size()) {
        const size_t characterStart = offset;
        if (isLineSeparator(nextCodePoint(fileText, offset))) {
            addEntry(values, fileText.substr(lineStart, characterStart - lineStart));
            lineStart = offset;
        }
    }
    addEntry(values, fileText.substr(lineStart));
}

std::string Localizer::text(const std::string& key, const std::vector<std::string>& args) const {
    const auto found = values.find(key);
    std::string result = found == values.end() ? key : found->second;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string placeholder = "{";
        placeholder += std::to_string(i);
        placeholder += '}';
        replaceAll(result, placeholder, args[i]);
    }
    // The language files are shared with another platform's edition and use its words; a Linux
    // desktop has a tray too, so that word stays.
    replaceAll(result, "ASIO", "ALSA");
    replaceAll(result, "Windows", "Linux");
    return result;
}

}  // namespace vornisel
