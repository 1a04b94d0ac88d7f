#include "l10n/localizer.h"

#include <cerrno>

#include "base/app_bundle.h"
#include "base/safe_file.h"
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

// No language file comes near this; a bigger one is not read.
constexpr size_t kMaxLanguageFileBytes = 1024 * 1024;

// The whole file as text, or nothing when it is missing, unreadable, no plain regular file (a
// link, a FIFO that would never end), too large or not UTF-8. Every case but a missing file is
// kept in `refused`.
std::optional<std::string> readLanguageFile(const Folder& folder, const std::string& code,
                                            std::optional<UnsafeFileError>& refused) {
    if (!isPlainName(code)) return std::nullopt;
    try {
        std::string text = readFileIn(folder, code + ".ini", kMaxLanguageFileBytes, Owner::anyone);
        if (!invalidUtf8Offset(text)) return text;
        refused.emplace(folder.path / (code + ".ini"), UnsafeReason::system, "is not UTF-8 text",
                        EILSEQ);
    } catch (const UnsafeFileError& error) {
        if (error.error() != ENOENT) refused = error;
    }
    return std::nullopt;
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
    refused.reset();
    if (resources.empty()) return;
    Folder folder;
    try {
        folder = openRootFolder(resources / "lang", false, Owner::anyone);
    } catch (const UnsafeFileError&) {
        return;
    }
    for (const std::string& code : {std::string("en"), language}) {
        if (const auto text = readLanguageFile(folder, code, refused)) addEntries(*text);
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
