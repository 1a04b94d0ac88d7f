#pragma once

#include <QWidget>
#include <string>

#include "desktop/launch_token.h"

namespace vornisel {

// Completing a launch on the desktop the panel runs on, for a window that an earlier launch made.
// A launcher shows a busy cursor until the program tells it the launch is over, and a Wayland
// compositor lets a window come forward only with the launcher's activation token.

// Before `window` is shown and activated for a launch with `token`.
void prepareActivation(const LaunchToken& token);

// After: on X11 the window is activated for the time of the user's action that started the
// launch, which a window manager that prevents focus stealing honours, and the startup
// notification is completed (finishStartupNotification).
void completeLaunch(QWidget& window, const LaunchToken& token);

// An X11 desktop learns that the launch `startupId` is over (the startup notification
// "remove" message, sent from `window`). The toolkit does this by itself only when it maps a
// window for the first time, so a window shown again or never shown needs it here.
void finishStartupNotification(QWidget& window, const std::string& startupId);

}  // namespace vornisel
