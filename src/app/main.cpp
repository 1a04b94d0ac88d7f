#include <iostream>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/client_app.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "base/app_bundle.h"
#include "check/ui_check.h"
#include "desktop/display_probe.h"
#include "desktop/font_warmup.h"
#include "desktop/launch_feedback.h"
#include "desktop/reopen_listener.h"
#include "desktop/single_instance.h"
#include "hardware/device.h"
#include "ui/theme/theme.h"

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

// The interactive panel: the controller launches from inside the event loop (as the platform
// reports a finished launch), so that a store that cannot be opened can end the loop it runs in.
int runApplication(char* program, const std::vector<std::string>& arguments,
                   const vornisel::SingleInstance& instance, const vornisel::LaunchToken& launch) {
    vornisel::FontWarmup fonts;
    // Only the panel reads its command line: the toolkit is given the program's name alone, so
    // that its own options (-platform, -style, -session, ...) do nothing.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {program, nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    fonts.applicationReady();
    QApplication::setApplicationName(QStringLiteral("Vornisel Control"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(vornisel::AppBundle::applicationId));
    vornisel::Theme::applyDarkAppearance(application);
    vornisel::ClientApp delegate(arguments);
    QTimer::singleShot(0, &delegate, [&delegate, &launch] {
        // The built-in UI check and the preview rendering, when asked for, take over once the
        // panel has launched.
        if (!delegate.applicationDidFinishLaunching()) return;
        // A panel that starts hidden ends its launcher's busy cursor itself.
        if (!delegate.windowShown()) {
            vornisel::finishStartupNotification(*delegate.window, launch.startupId);
        }
        vornisel::startBuiltInCheck(delegate);
    });
    // A second launch on this data directory reopens the window, as clicking the application
    // does elsewhere, and completes that launch. Its requests are read after the launch above.
    vornisel::ReopenListener listener([&delegate](const vornisel::LaunchToken& token) {
        vornisel::prepareActivation(token);
        delegate.applicationShouldHandleReopen();
        if (delegate.window) vornisel::completeLaunch(*delegate.window, token);
    });
    if (instance.claim() == vornisel::SingleInstance::Claim::mine) {
        if (const std::string error = listener.listen(instance.socketPath()); !error.empty()) {
            std::cerr << "A second launch cannot reach this panel: " << error << "\n";
        }
    }
    // Every quit ends the loop with status 0; only the built-in UI check ends it with another.
    const int status = QApplication::exec();
    fonts.wait();
    return status;
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
    vornisel::prepareBuiltInCheck(arguments);
    return runApplication(argv[0], arguments, instance, launch);
}
