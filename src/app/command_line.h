#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornisel {

// What the program's arguments ask for. An option counts only when an argument equals it
// exactly; every other argument is ignored.
struct CommandLine {
    bool listDevices = false;    // "--list-devices"
    bool uiSmoke = false;        // "--ui-smoke"
    bool renderPreview = false;  // "--render-preview"
    bool help = false;           // "--help": print the usage, exit 0
    bool version = false;        // "--version": print the version, exit 0
    // "--autostart": the login item's launch, which starts the panel hidden. The desktop entries
    // of the login item pass it; a person has no reason to.
    bool autostart = false;
    bool dataDirGiven = false;  // some argument is "--data-dir", even the last one
    // The argument after the first "--data-dir", as given; nothing when "--data-dir" is absent or
    // the last argument.
    std::optional<std::filesystem::path> dataDir;

    // The UI checks drive the window and change files; they must never touch the user's data.
    bool testMode() const { return uiSmoke || renderPreview; }
};

// What "--help" prints; the manual page is made from the same text.
extern const std::string_view kUsage;
// What "--version" prints: the program's name and version, one line.
std::string versionText();

// Reads the arguments, without the program name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The arguments of main() without the program name.
std::vector<std::string> argumentList(int argc, const char* const* argv);

// Why the application must not start, or nothing: test mode without "--data-dir".
inline constexpr std::string_view kTestModeNeedsDataDir =
    "UI tests require an isolated --data-dir.\n";
std::optional<std::string_view> launchRefusal(const CommandLine& options);

// Why the panel cannot open a window here, as one line, or nothing. `environment` reads a
// variable (nothing when unset). Decided before the toolkit starts, which would abort instead.
std::optional<std::string> displayRefusal(
    const std::function<std::optional<std::string>(const char*)>& environment);

// "Library/Application Support/Vornisel/Clients" under `home`.
std::filesystem::path defaultDataDirectory(const std::filesystem::path& home);

// The data directory: the "--data-dir" argument, a relative path counting from
// `workingDirectory`, else the default directory under `home`.
std::filesystem::path dataDirectory(const CommandLine& options, const std::filesystem::path& home,
                                    const std::filesystem::path& workingDirectory);

// The current user's home directory: $HOME, else the password database, else "/".
std::filesystem::path homeDirectory();

}  // namespace vornisel
