#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/login_item.h"
#include "engine/client_runtime.h"
#include "engine/window_hooks.h"
#include "hardware/device.h"
#include "l10n/localizer.h"
#include "model/panel_store.h"

class QLabel;
class QScrollArea;
class QSessionManager;
class QTimer;
class QWidget;

namespace vornisel {

class ActionButton;
class CardListKeys;
class DeviceCard;
class DeviceWatcher;
class Dispatch;
class EngineController;
class MainContent;
class MainWindow;
class MenuButton;
class PanelDialog;
class PanelView;
class QuitSignals;
class StatusMenu;

// The answer to a quit request: quit now, refuse, or answer later through
// replyToApplicationShouldTerminate once the engines are stopped.
enum class TerminateReply { cancel = 0, now = 1, later = 2 };

// The application controller: opens the store, builds the main window, the status menu and the
// main menu, runs the device, preset, settings and support-bundle flows, and forwards the engine
// operations to the EngineController, for which it is the window.
//
// Main thread only. Member definitions are split by concern: client_app.cpp (construction,
// launch), client_app_window.cpp (window, layout, texts), client_app_menus.cpp (main menu and
// status menu), client_app_devices.cpp (device flows, notices, cards), client_app_engines.cpp
// (engine forwarders and window hooks), client_app_quit.cpp (quitting),
// client_app_presets.cpp (presets, settings, login item) and client_app_bundle.cpp (support
// bundle).
class ClientApp : public QObject, public WindowHooks {
public:
    // The panel's text lookup. Declared here so that it hides QObject's translation function of
    // the same name inside the controller's members. (No Q_OBJECT: it would declare that one
    // again; the controller needs no signals of its own.)
    template <class... A>
    static std::string tr(const std::string& key, const A&... args) {
        return vornisel::tr(key, args...);
    }

    // The command-line arguments without the program name; "--ui-smoke" or "--render-preview"
    // set test mode.
    explicit ClientApp(std::vector<std::string> arguments);
    ~ClientApp() override;
    ClientApp(const ClientApp&) = delete;
    ClientApp& operator=(const ClientApp&) = delete;

    // --- Launch, window and menus ---
    // The launch sequence. Returns false when the store could not be opened: the alert was shown
    // and the application asked to end, and nothing else was created.
    bool applicationDidFinishLaunching();
    void layout();
    void localize();
    // Tells the user when the chosen language's file could not be used; true when it did.
    bool showLanguageRefusal();
    void buildMenus();
    void updateStatusMenu();
    void showWindow();
    void toggleWindow();
    void settingsAction();
    // The window's close button: hides the window, or minimises it on a desktop without a tray,
    // and answers false (never closed).
    bool windowShouldClose();
    bool applicationShouldHandleReopen();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return false; }
    // Whether the window is on the screen: shown and not minimised.
    bool windowShown() const;
    // Whether the desktop has a tray now; without one the window is minimised where it would be
    // hidden, so that the task bar can bring it back. Replaceable for tests.
    bool trayAvailable() const { return trayCheck_(); }
    void setTrayCheck(std::function<bool()> check) { trayCheck_ = std::move(check); }

    // --- Devices ---
    void showNotice(const std::string& text, bool warning) override;
    bool saveStore();
    // Without an identifier: add a device; with one: edit it.
    void showDevice(std::optional<uint32_t> id);
    void remove(uint32_t id);
    // Lists the hardware on a worker, then sets `hardware` and rebuilds the cards on the main
    // thread. Also run when the device watcher has seen the machine's devices change.
    void refreshDevices();
    // True while a listing runs, and from launch until the first one has ended: the first
    // listing starts only after the window's first frame.
    bool listingDevices() const { return listing_; }
    // Runs `then` on the main thread once the first listing has ended and set `hardware` (at
    // once when it already has). A flow that needs the hardware list waits through here instead
    // of taking the empty list for "no devices".
    void whenDevicesListed(std::function<void()> then);
    void rebuildCards() override;
    void updateControls() override;
    // The card of device `id`, or null.
    DeviceCard* card(uint32_t id) const;
    // The open sheet once its window shows, else null.
    PanelDialog* shownDialog() const;

    // --- Engines (forwarded to the EngineController) ---
    std::filesystem::path hostURL() const;
    std::shared_ptr<ClientRuntime> runtime(uint32_t id);
    std::map<uint32_t, std::shared_ptr<ClientRuntime>>& runtimes();
    bool groupBusy() const;
    void start(uint32_t id);
    void stop(uint32_t id, std::function<void(bool)> completion = {});
    void toggle(uint32_t id);
    void toggleGroup();
    void stopGroup(std::function<void(bool)> completion);
    void poll();
    void applyRecommendation(uint32_t id);
    // Present when the store is open; tests shorten its stop timings through it.
    EngineController* engines() const { return engines_.get(); }

    // --- Presets, settings and login item (client_app_presets.cpp) ---
    void selectPreset(int index);
    void showSavePreset();
    void saveAsPreset(const std::string& name);
    void showSettings();
    // Throws the file-system error when the login item cannot be written or removed.
    void configureLogin(bool enabled);
    // The login item of this panel's data directory.
    LoginItem loginItem() const;

    // --- Support bundle (client_app_bundle.cpp) ---
    void exportBundle(uint32_t id);

    // --- Quitting ---
    // `ending` for SIGTERM and the end of the session: a window size that cannot be saved is
    // then only reported (the session would otherwise wait until it kills the panel), and the
    // panel ends even when an engine outlives its stop.
    TerminateReply applicationShouldTerminate(bool ending = false);
    // Completes a quit answered with `later`: true lets it go on, false cancels it.
    void replyToApplicationShouldTerminate(bool terminate);
    // Every way to quit ends here (menus, Ctrl+Q, signals): asks applicationShouldTerminate and
    // ends the application when the answer is yes, now or later.
    void terminate();
    // SIGTERM: as terminate(), but a failed save does not stop it (see applicationShouldTerminate).
    void terminateForSession();
    // What ending the application does; QCoreApplication::exit(0) unless replaced (tests).
    void setTerminateHandler(std::function<void()> handler) {
        terminateHandler_ = std::move(handler);
    }
    // The desktop session ends: the same questions as quitting, the session's wait included.
    void commitData(QSessionManager& manager);
    // How a store that cannot be opened is reported: a modal alert unless replaced (tests).
    void setAlertHandler(std::function<void(const QString&)> handler) {
        alertHandler_ = std::move(handler);
    }

    // Shows `dialog` over the main window and keeps it in activeDialog until it ends; `completion`
    // runs after activeDialog was cleared. The dialog object is released only after its own
    // completion has returned.
    void presentDialog(std::shared_ptr<PanelDialog> dialog, std::function<void(bool)> completion);

    // --- State (read by the flows and by tests) ---
    std::optional<PanelStore> store;
    std::vector<Device> hardware;
    std::vector<DeviceCard*> cards;
    MainWindow* window = nullptr;
    MainContent* root = nullptr;
    PanelView* header = nullptr;
    PanelView* body = nullptr;
    PanelView* notice = nullptr;
    QScrollArea* scroll = nullptr;
    QLabel* heading = nullptr;
    QLabel* subtitle = nullptr;
    QLabel* devicesHeading = nullptr;
    QLabel* empty = nullptr;
    QLabel* emptyHelp = nullptr;
    QLabel* noticeIcon = nullptr;
    QLabel* noticeText = nullptr;
    ActionButton* closeNotice = nullptr;
    MenuButton* presets = nullptr;
    ActionButton* savePreset = nullptr;
    ActionButton* toggleAll = nullptr;
    ActionButton* settings = nullptr;
    ActionButton* refresh = nullptr;
    ActionButton* add = nullptr;
    std::shared_ptr<PanelDialog> activeDialog;
    QTimer* timer = nullptr;
    StatusMenu* statusItem = nullptr;
    bool exiting = false;
    bool ending_ = false;
    const bool testMode;

    const std::vector<std::string>& arguments() const { return arguments_; }

private:
    // Launch steps, in order.
    bool openStore();
    void loadIcon();
    void createWindow();
    void buildViewTree();
    void connectControls();
    void createStatusItem();
    void startTimer();
    void connectQuitRequests();
    // What the first frame does not need: the tray icon, the device watcher, the first listing.
    void afterFirstFrame(std::function<void()> work);
    void launchBackground();
    void watchDevices();
    void concealWindow();

    // Device flow helpers.
    std::vector<Device> offeredDevices(const std::optional<Profile>& editing) const;
    Profile newProfile();
    void listDevices();
    void devicesListed(std::vector<Device> listed);
    void finishDeviceDialog(const Profile& given, const Profile& result, bool editing);
    void connectCard(DeviceCard& card, uint32_t id);
    void placeCards(const std::map<uint32_t, int>& meterScrolls);

    // Engine and quit helpers.
    bool anyRunning() const;
    void deferredQuit();
    void finishQuit(bool terminate);
    void requestTermination(bool ending);
    void stopEnginesBeforeExit();

    void showError(const std::exception& error);

    std::vector<std::string> arguments_;
    std::shared_ptr<EngineController> engines_;
    std::unique_ptr<QuitSignals> quitSignals_;
    std::shared_ptr<Dispatch> dispatch_;
    std::unique_ptr<DeviceWatcher> deviceWatcher_;
    // A listing runs (or the first one is due); another was asked for meanwhile.
    bool listing_ = false;
    bool relist_ = false;
    // The first listing has ended; until then, what waits for it.
    bool listed_ = false;
    std::vector<std::function<void()>> whenListed_;
    // "+" was pressed before the first listing had answered: the dialog opens once it has.
    bool addWaiting_ = false;
    CardListKeys* cardKeys_ = nullptr;
    std::function<void()> terminateHandler_;
    std::function<void(const QString&)> alertHandler_;
    std::function<bool()> trayCheck_;
    // Set while a quit answered `later` waits for its reply.
    std::function<void(bool)> pendingReply_;
};

}  // namespace vornisel
