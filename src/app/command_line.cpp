#include "app/command_line.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace vornisel {

const std::string_view kUsage = R"(Usage: vornisel-control [--data-dir DIR] [--autostart]
  or:  vornisel-control --list-devices
  or:  vornisel-control --ui-smoke --data-dir DIR
  or:  vornisel-control --render-preview --data-dir DIR
  or:  vornisel-control --help | --version

The control panel of Vornisel networked audio: up to 8 virtual audio devices, each
routed to an ALSA device and served by an engine host process of its own.

Options:
  --data-dir DIR      keep the devices, settings and logs in DIR instead of
                      ~/Library/Application Support/Vornisel/Clients
  --autostart         start hidden in the tray, or minimised without one, as
                      launch at login does
  --list-devices      print the ALSA devices as JSON and exit
  --ui-smoke          run the built-in UI check and exit (0 = passed); needs a
                      --data-dir of its own
  --render-preview    render the window and dialogs into DIR/previews and exit;
                      needs a --data-dir of its own
  --help              print this text and exit
  --version           print the version and exit

Every other argument is ignored, the toolkit's own options included. One panel
runs per data directory: a second launch on the same directory shows the running
panel's window and exits.

Exit status:
  0   the panel quit, or a second launch handed over to the running panel
  1   no display, a running panel that does not answer, or a failed UI check
  2   --ui-smoke or --render-preview without --data-dir
)";

std::string versionText() {
    return std::string("vornisel-control ") + VORNISEL_VERSION + "\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    const auto has = [&](std::string_view option) {
        return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
    };
    CommandLine options;
    options.listDevices = has("--list-devices");
    options.uiSmoke = has("--ui-smoke");
    options.renderPreview = has("--render-preview");
    options.help = has("--help");
    options.version = has("--version");
    options.autostart = has("--autostart");
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

std::optional<std::string> displayRefusal(
    const std::function<std::optional<std::string>(const char*)>& environment) {
    const auto given = [&](const char* name) {
        const auto value = environment(name);
        return value && !value->empty();
    };
    // A platform plugin other than the two desktop ones (offscreen, a frame buffer) needs no
    // display server.
    const std::string platform = environment("QT_QPA_PLATFORM").value_or("");
    const bool desktop =
        platform.empty() || platform.starts_with("xcb") || platform.starts_with("wayland");
    if (!desktop || given("DISPLAY") || given("WAYLAND_DISPLAY")) return std::nullopt;
    return "vornisel-control: no display to open a window on (neither DISPLAY nor "
           "WAYLAND_DISPLAY is set); start it in a desktop session.\n";
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
