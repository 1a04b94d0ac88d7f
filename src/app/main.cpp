#include <iostream>

#include <QApplication>
#include <QTimer>
#include <string>
#include <vector>

#include "app/client_app.h"
#include "app/command_line.h"
#include "check/ui_check.h"
#include "desktop/font_warmup.h"
#include "hardware/device.h"
#include "ui/theme/theme.h"

namespace {

// The one-shot listing; it must work without a display, so nothing of the GUI is touched.
int listDevices() {
    std::cout << vornisel::deviceListJSON(vornisel::devices()) << std::flush;
    return 0;
}

// The interactive panel: the controller launches from inside the event loop (as the platform
// reports a finished launch), so that a store that cannot be opened can end the loop it runs in.
int runApplication(int argc, char** argv, const std::vector<std::string>& arguments) {
    vornisel::FontWarmup fonts;
    QApplication application(argc, argv);
    fonts.applicationReady();
    QApplication::setApplicationName(QStringLiteral("Vornisel Control"));
    vornisel::Theme::applyDarkAppearance(application);
    vornisel::ClientApp delegate(arguments);
    QTimer::singleShot(0, &delegate, [&delegate] {
        // The built-in UI check and the preview rendering, when asked for, take over once the
        // panel has launched.
        if (delegate.applicationDidFinishLaunching()) vornisel::startBuiltInCheck(delegate);
    });
    // Every quit ends the loop with status 0; only the built-in UI check ends it with another.
    const int status = QApplication::exec();
    fonts.wait();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = vornisel::argumentList(argc, argv);
    const vornisel::CommandLine options = vornisel::parseCommandLine(arguments);
    if (options.listDevices) return listDevices();
    if (auto refusal = vornisel::launchRefusal(options)) {
        std::cerr << *refusal << std::flush;
        return 2;
    }
    return runApplication(argc, argv, arguments);
}
