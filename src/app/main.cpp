#include <iostream>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/panel_launch.h"
#include "check/ui_check.h"
#include "desktop/display_probe.h"
#include "desktop/launch_feedback.h"
#include "desktop/single_instance.h"
#include "hardware/device.h"

namespace {

// The one-shot listing; it must work without a display, so nothing of the GUI is touched.
int listDevices() {
    std::cout << vornisel::deviceListJSON(vornisel::devices()) << std::flush;
    return 0;
}

// A second launch on a data directory that a running panel holds: the panel is asked to bring its
// window back. The UI checks refuse instead, since they would change its files under it.
int handOver(const vornisel::CommandLine& options, const vornisel::SingleInstance& instance,
             const std::filesystem::path& directory, const vornisel::LaunchToken& launch) {
    using Reopen = vornisel::SingleInstance::Reopen;
    const auto holder = instance.holder();
    const std::string panel =
        "Vornisel Control" + (holder ? " (process " + std::to_string(*holder) + ")" : "");
    if (options.testMode()) {
        std::cerr << panel << " is running on " << directory.string()
                  << "; the UI check and the preview rendering need a data directory of their "
                     "own.\n";
        return 1;
    }
    switch (instance.requestReopen(std::chrono::milliseconds(900), launch)) {
        case Reopen::answered:
            return 0;
        case Reopen::unanswered:
            std::cerr << panel << " is running on " << directory.string()
                      << " and shows its window as soon as it can.\n";
            return 0;
        case Reopen::unreachable:
            break;
    }
    std::cerr << panel << " is running on " << directory.string() << " but does not answer on "
              << instance.socketPath().string() << ".\n";
    return 1;
}

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = vornisel::argumentList(argc, argv);
    const vornisel::CommandLine options = vornisel::parseCommandLine(arguments);
    if (options.listDevices) return listDevices();
    if (options.help || options.version) {
        std::cout << (options.help ? std::string(vornisel::kUsage) : vornisel::versionText())
                  << std::flush;
        return 0;
    }
    if (auto refusal = vornisel::launchRefusal(options)) {
        std::cerr << *refusal << std::flush;
        return 2;
    }
    // Before any data directory is touched, and before the toolkit would abort on it.
    auto refusal = vornisel::displayRefusal(environmentVariable);
    if (!refusal) refusal = vornisel::unreachableDisplay(environmentVariable);
    if (refusal) {
        std::cerr << *refusal << std::flush;
        return 1;
    }
    const auto directory = vornisel::dataDirectory(options, vornisel::homeDirectory(),
                                                   std::filesystem::current_path());
    // Read before the toolkit starts, which takes the startup id out of the environment.
    const vornisel::LaunchToken launch = vornisel::LaunchToken::fromEnvironment();
    const vornisel::SingleInstance instance(directory,
                                            vornisel::SingleInstance::runtimeDirectory());
    if (instance.claim() == vornisel::SingleInstance::Claim::taken) {
        return handOver(options, instance, directory, launch);
    }
    if (instance.claim() == vornisel::SingleInstance::Claim::refused) {
        std::cerr << "Vornisel Control does not run on " << directory.string()
                  << ": its lock file is refused. " << instance.refusal() << "\n";
        return 1;
    }
    vornisel::prepareBuiltInCheck(arguments);
    // The built-in UI check and the preview rendering, when asked for, take over once the panel
    // has launched.
    return vornisel::runPanel(argv[0], arguments, instance, launch, vornisel::startBuiltInCheck);
}
