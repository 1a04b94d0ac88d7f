// Construction and the launch sequence of the application controller.
#include "app/client_app.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QScrollArea>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/status_menu.h"
#include "base/app_bundle.h"
#include "desktop/qt_dispatch.h"
#include "desktop/quit_signals.h"
#include "engine/engine_controller.h"
#include "hardware/device_watcher.h"
#include "hardware/system_device_events.h"
#include "l10n/error_text.h"
#include "l10n/localizer.h"
#include "ui/card/card_list_keys.h"
#include "ui/card/device_card.h"
#include "ui/card/main_content.h"
#include "ui/dialogs/panel_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

ActionButton* iconButton(Glyph glyph, QWidget* parent) {
    return new ActionButton(
        QString(), glyph, [] {}, parent);
}

}  // namespace

ClientApp::ClientApp(std::vector<std::string> arguments)
    : testMode(parseCommandLine(arguments).testMode()), arguments_(std::move(arguments)) {
    // The whole view tree exists from the start, so every field points at a live view; launch
    // only gives it a window, geometry, texts and actions.
    root = new MainContent();
    header = new PanelView(root);
    heading = Theme::label(QString(), 28, Theme::text(), true, header);
    subtitle = Theme::label(QString(), 13, Theme::secondary(), false, header);
    presets = new MenuButton(header);
    savePreset = iconButton(Glyph::save, header);
    toggleAll = iconButton(Glyph::play, header);
    settings = iconButton(Glyph::settings, header);
    refresh = iconButton(Glyph::refresh, header);
    add = iconButton(Glyph::add, header);
    scroll = new QScrollArea(root);
    body = new PanelView();
    empty = Theme::label(QString(), 18, Theme::text(), true, body);
    emptyHelp = Theme::label(QString(), 13, Theme::secondary(), false, body);
    devicesHeading = Theme::label(QString(), 18, Theme::text(), true, root);
    notice = new PanelView(root);
    noticeIcon = Theme::label(QString(), 16, Theme::text(), true, notice);
    noticeText = Theme::label(QString(), 12, Theme::text(), false, notice);
    closeNotice = iconButton(Glyph::close, notice);
    cardKeys_ = new CardListKeys([this] { return cards; }, this);
    terminateHandler_ = [] { QCoreApplication::exit(0); };
    trayCheck_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    alertHandler_ = [](const QString& text) {
        QMessageBox alert(QMessageBox::Warning, QString(), text, QMessageBox::Ok);
        alert.exec();
    };
}

ClientApp::~ClientApp() {
    deviceWatcher_.reset();
    if (timer) {
        timer->stop();
    }
    // The controller refers to the store and to this object as its window; it goes first. Jobs
    // still queued hold it weakly and find it gone.
    engines_.reset();
    activeDialog.reset();
    cards.clear();
    if (window) {
        delete window;
    } else {
        delete root;
    }
}

bool ClientApp::applicationDidFinishLaunching() {
    if (!openStore()) {
        return false;
    }
    Localizer::shared().load(store->document.settings.language);
    createWindow();
    buildViewTree();
    connectControls();
    createStatusItem();
    localize();
    showLanguageRefusal();
    buildMenus();
    // The menu bar has its height only now that it has menus.
    window->fitContent(root->size());
    // The saved devices' cards need nothing of the hardware; the list of it follows.
    rebuildCards();
    listing_ = true;
    window->centerOnScreen();
    // Started at login, or with "start hidden": into the tray, or minimised without one.
    const bool hidden =
        store->document.settings.minimized || parseCommandLine(arguments_).autostart;
    if (testMode || !hidden) {
        showWindow();
    } else if (!trayAvailable()) {
        window->showMinimizedAtStart();
    }
    afterFirstFrame([this] { launchBackground(); });
    startTimer();
    connectQuitRequests();
    if (!testMode && store->firstRun) {
        showSettings();
    }
    return true;
}

bool ClientApp::openStore() {
    const CommandLine options = parseCommandLine(arguments_);
    if (auto refusal = launchRefusal(options)) {
        std::fwrite(refusal->data(), 1, refusal->size(), stderr);
        std::exit(2);
    }
    try {
        store.emplace(dataDirectory(options, homeDirectory(), std::filesystem::current_path()));
    } catch (const std::exception& error) {
        store.reset();
        if (testMode) {
            // Nobody answers a box in a check: it fails at once and says why.
            std::fprintf(stderr, "%s\n", error.what());
            QCoreApplication::exit(1);
            return false;
        }
        alertHandler_(QString::fromStdString(errorText(error)));
        terminate();
        return false;
    }
    dispatch_ = std::make_shared<QtDispatch>();
    engines_ = EngineController::create(*store, dispatch_, *this, AppBundle::location());
    return true;
}

// Started after the first frame: the listing's worker parses ALSA's configuration and forks
// its probes, which would compete for the processor with the window's first drawing, and the
// tray and the watcher talk to the session bus and udev. The cards are already there.
void ClientApp::launchBackground() {
    watchDevices();  // first, so that no change after the listing's start goes unnoticed
    listDevices();
    // The window manager takes the icon when it comes; the first frame does not wait for it.
    loadIcon();
    statusItem->attachTray();
}

void ClientApp::watchDevices() {
    // The watcher's thread only hands over; the refresh button's path does the rest.
    QPointer<ClientApp> self(this);
    deviceWatcher_ = std::make_unique<DeviceWatcher>(std::make_unique<SystemDeviceEvents>(),
                                                     [self, dispatch = dispatch_] {
                                                         dispatch->main([self] {
                                                             if (self) {
                                                                 self->refreshDevices();
                                                             }
                                                         });
                                                     });
}

bool ClientApp::showLanguageRefusal() {
    const auto& refused = Localizer::shared().refused;
    if (refused) showNotice(errorText(*refused), true);
    return refused.has_value();
}

void ClientApp::loadIcon() {
    const auto icon = AppBundle::resources() / "vornisel.png";
    std::error_code error;
    if (std::filesystem::is_regular_file(icon, error)) {
        // Read as PNG outright: an icon left to guess its file's format loads every image
        // plugin to ask it.
        QImageReader reader(QString::fromStdString(icon.string()), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull()) {
            QApplication::setWindowIcon(QIcon(QPixmap::fromImage(image)));
        }
    }
}

void ClientApp::startTimer() {
    timer = new QTimer(this);
    timer->setInterval(1000);
    timer->setTimerType(Qt::CoarseTimer);
    connect(timer, &QTimer::timeout, this, [this] { poll(); });
    timer->start();
}

void ClientApp::connectQuitRequests() {
    QGuiApplication::setQuitOnLastWindowClosed(false);
    quitSignals_ = std::make_unique<QuitSignals>([this](int) { terminateForSession(); });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager& manager) { commitData(manager); });
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { stopEnginesBeforeExit(); });
    }
}

}  // namespace vornisel
