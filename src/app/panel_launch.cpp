#include "app/panel_launch.h"

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <iostream>

#include "app/client_app.h"
#include "app/main_window.h"
#include "base/app_bundle.h"
#include "desktop/font_warmup.h"
#include "desktop/launch_feedback.h"
#include "desktop/qt_dispatch.h"
#include "desktop/reopen_listener.h"
#include "desktop/single_instance.h"
#include "ui/theme/theme.h"

namespace vornisel {

int runPanel(char* program, const std::vector<std::string>& arguments,
             const SingleInstance& instance, const LaunchToken& launch,
             const std::function<void(ClientApp&)>& launched) {
    FontWarmup fonts;
    // Only the panel reads its command line: the toolkit is given the program's name alone, so
    // that its own options (-platform, -style, -session, ...) do nothing.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {program, nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    fonts.applicationReady();
    QApplication::setApplicationName(QStringLiteral("Vornisel Control"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(AppBundle::applicationId));
    Theme::applyDarkAppearance(application);
    ClientApp delegate(arguments);
    // The controller launches from inside the event loop (as the platform reports a finished
    // launch), so that a store that cannot be opened can end the loop it runs in.
    QTimer::singleShot(0, &delegate, [&delegate, &launch, &launched] {
        if (!delegate.applicationDidFinishLaunching()) return;
        // A panel that starts hidden ends its launcher's busy cursor itself.
        if (!delegate.windowShown()) finishStartupNotification(*delegate.window, launch.startupId);
        if (launched) launched(delegate);
    });
    // A second launch on this data directory reopens the window, as clicking the application
    // does elsewhere, and completes that launch. Its requests are read after the launch above.
    ReopenListener listener([&delegate](const LaunchToken& token) {
        prepareActivation(token);
        delegate.applicationShouldHandleReopen();
        if (delegate.window) completeLaunch(*delegate.window, token);
    });
    if (instance.claim() == SingleInstance::Claim::mine) {
        if (const std::string error = listener.listen(instance.socketPath()); !error.empty()) {
            std::cerr << "A second launch cannot reach this panel: " << error << "\n";
        }
    }
    // Every quit ends the loop with status 0; only the built-in UI check ends it with another.
    const int status = QApplication::exec();
    fonts.wait();
    // The engines were stopped on the way out. A worker still busy after the stop timings (a
    // system call that never returns) must not hold the exit: end without waiting for it.
    if (!QtDispatch::finish(std::chrono::seconds(7))) {
        std::cout.flush();
        std::cerr.flush();
        std::_Exit(status);
    }
    return status;
}

}  // namespace vornisel
