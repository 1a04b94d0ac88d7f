// The main menu and the status item's menu.
#include <QMenuBar>
#include <QPointer>

#include "app/client_app.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/status_menu.h"
#include "engine/engine_controller.h"
#include "l10n/localizer.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

// A menu action that does nothing once the controller is gone.
std::function<void()> weakAction(ClientApp* app, void (ClientApp::*member)()) {
    QPointer<ClientApp> self(app);
    return [self, member] {
        if (self) {
            ((*self).*member)();
        }
    };
}

}  // namespace

void ClientApp::createStatusItem() {
    statusItem = new StatusMenu(this);
    QPointer<ClientApp> self(this);
    // A click on the icon shows or hides the window; the menu is the other button's.
    statusItem->setActivated([self] {
        if (self) {
            self->toggleWindow();
        }
    });
}

void ClientApp::buildMenus() {
    if (window) {
        MainMenuItems items;
        items.title = qtext(tr("app.title"));
        items.show = qtext(tr("tray.show"));
        items.settings = qtext(tr("main.settings"));
        items.exit = qtext(tr("tray.exit"));
        items.onShow = weakAction(this, &ClientApp::showWindow);
        items.onSettings = weakAction(this, &ClientApp::settingsAction);
        items.onExit = weakAction(this, &ClientApp::terminate);
        buildMainMenu(*window->menuBar(), items);
    }
    updateStatusMenu();
}

void ClientApp::updateStatusMenu() {
    if (!statusItem) {
        return;
    }
    bool running = false;
    size_t runningCount = 0;
    if (engines_) {
        for (const auto& [id, rt] : engines_->runtimes()) {
            running = running || rt->isRunning();
            runningCount += rt->isRunning() ? 1 : 0;
        }
    }
    // The panel, how many of its devices run, and its data folder, which tells two panels apart.
    const size_t total = store ? store->clients().size() : 0;
    const std::string folder = store ? store->directory().filename().string() : std::string();
    statusItem->setToolTip(qtext(tr("tray.tooltip", tr("app.title"), std::to_string(runningCount),
                                    std::to_string(total), folder)));
    const bool visible = windowShown();
    std::vector<StatusMenu::Item> items;
    items.push_back({qtext(tr(running ? "tray.stop" : "tray.start")),
                     weakAction(this, &ClientApp::toggleGroup)});
    items.push_back({qtext(tr(visible ? "tray.hide" : "tray.show")),
                     weakAction(this, &ClientApp::toggleWindow)});
    items.push_back({qtext(tr("tray.exit")), weakAction(this, &ClientApp::terminate)});
    statusItem->setItems(std::move(items));
}

}  // namespace vornisel
