#include "app/command_line.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace vornisel {

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    const auto has = [&](std::string_view option) {
        return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
    };
    CommandLine options;
    options.listDevices = has("--list-devices");
    options.uiSmoke = has("--ui-smoke");
    options.renderPreview = has("--render-preview");
    const auto dataDir = std::find(arguments.begin(), arguments.end(), "--data-dir");
    options.dataDirGiven = dataDir != arguments.end();
    if (options.dataDirGiven && std::next(dataDir) != arguments.end()) {
        options.dataDir = std::filesystem::path(*std::next(dataDir));
    }
    return options;
}

std::vector<std::string> argumentList(int argc, const char* const* argv) {
    if (argc <= 1) return {};
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::optional<std::string_view> launchRefusal(const CommandLine& options) {
    if (options.testMode() && !options.dataDirGiven) return kTestModeNeedsDataDir;
    return std::nullopt;
}

std::filesystem::path defaultDataDirectory(const std::filesystem::path& home) {
    return home / "Library" / "Application Support" / "Vornisel" / "Clients";
}

std::filesystem::path dataDirectory(const CommandLine& options, const std::filesystem::path& home,
                                    const std::filesystem::path& workingDirectory) {
    if (!options.dataDir) return defaultDataDirectory(home);
    // An empty argument is still a relative path: the working directory itself.
    return workingDirectory / *options.dataDir;
}

std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir) {
        return entry->pw_dir;
    }
    return "/";
}

}  // namespace vornisel
