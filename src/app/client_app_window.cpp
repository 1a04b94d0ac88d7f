// The main window: creation, the view tree, the header's actions, layout and texts, and how the
// window hides, shows and reopens.
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <utility>

#include "app/client_app.h"
#include "app/main_layout.h"
#include "app/main_window.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/card/main_content.h"
#include "ui/dialogs/panel_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/panel_style.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

void setTipAndName(QWidget& widget, const std::string& key) {
    const QString text = qtext(tr(key));
    widget.setToolTip(text);
    widget.setAccessibleName(text);
}

}  // namespace

void ClientApp::createWindow() {
    const auto& stored = store->document.settings;
    const QSize size = MainWindow::openingSize(stored.width, stored.height);
    root->resize(size);
    window = new MainWindow(root, size);
    window->setWindowTitle(qtext(tr("app.title")));
    window->setShouldClose([this] { return windowShouldClose(); });
}

void ClientApp::buildViewTree() {
    header->setFill(Theme::header());
    notice->hide();
    scroll->setWidget(body);
    scroll->setWidgetResizable(false);
    scroll->setFrameShape(QFrame::NoFrame);
    // The list scrolls to whichever control has the focus; it is no Tab stop of its own.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Drawn flat, as the meter strips' scroller is: Fusion's gradients over a tall track are
    // filled by Qt's worker threads, which the first frame would start and wait on.
    PanelStyle::makeThin(scroll->verticalScrollBar());
    // No background of its own: the list sits directly on the window's fill.
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    empty->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    emptyHelp->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

void ClientApp::connectControls() {
    QPointer<ClientApp> self(this);
    auto weakly = [self](auto action) {
        return [self, action] {
            if (self) {
                action(*self);
            }
        };
    };
    root->setResized(weakly([](ClientApp& app) { app.layout(); }));
    presets->setChanged([self](int index) {
        if (self) {
            self->selectPreset(index);
        }
    });
    savePreset->setHandler(weakly([](ClientApp& app) { app.showSavePreset(); }));
    toggleAll->setHandler(weakly([](ClientApp& app) { app.toggleGroup(); }));
    settings->setHandler(weakly([](ClientApp& app) { app.showSettings(); }));
    refresh->setHandler(weakly([](ClientApp& app) { app.refreshDevices(); }));
    add->setHandler(weakly([](ClientApp& app) { app.showDevice(std::nullopt); }));
    add->setAccent(true);
    closeNotice->setHandler(weakly([](ClientApp& app) {
        app.notice->hide();
        app.layout();
    }));
}

void ClientApp::layout() {
    if (!store) {
        return;
    }
    const QSize size = root->size();
    const MainFrames f = mainFrames(size.width(), size.height(), !notice->isHidden());
    header->setGeometry(f.header);
    heading->setGeometry(f.heading);
    subtitle->setGeometry(f.subtitle);
    presets->setGeometry(f.presets);
    savePreset->setGeometry(f.savePreset);
    toggleAll->setGeometry(f.toggleAll);
    settings->setGeometry(f.settings);
    refresh->setGeometry(f.refresh);
    add->setGeometry(f.add);
    notice->setGeometry(f.notice);
    noticeIcon->setGeometry(f.noticeIcon);
    noticeText->setGeometry(f.noticeText);
    closeNotice->setGeometry(f.closeNotice);
    devicesHeading->setGeometry(f.devicesHeading);
    scroll->setGeometry(f.scroll);

    std::vector<int> heights;
    for (DeviceCard* card : cards) {
        heights.push_back(static_cast<int>(card->requestedHeight()));
    }
    // The list's whole width; an area whose scroller is on already leaves that scroller out.
    const int scrollerWidth = scroll->verticalScrollBar()->sizeHint().width();
    QSize content = scroll->maximumViewportSize();
    if (scroll->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn) {
        content.setWidth(content.width() + scrollerWidth);
    }
    CardStack stack = stackCards(content.width(), content.height(), heights);
    const bool scroller = stack.bodyHeight > content.height();
    if (scroller) {
        // The scroller appears and takes its width from the cards.
        content.setWidth(content.width() - scrollerWidth);
        stack = stackCards(content.width(), content.height(), heights);
    }
    // The scroller is shown exactly when the cards overflow, decided here rather than by the
    // scroll area's own queued check, which would show it in a second pass after the first frame.
    scroll->setVerticalScrollBarPolicy(scroller ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    for (size_t i = 0; i < cards.size(); ++i) {
        cards[i]->setGeometry(stack.cards[i]);
        cards[i]->refresh();
    }
    body->resize(content.width(), stack.bodyHeight);
    empty->setGeometry(emptyFrame(content.width()));
    emptyHelp->setGeometry(emptyHelpFrame(content.width()));
    empty->setHidden(!cards.empty());
    emptyHelp->setHidden(!cards.empty());
}

void ClientApp::localize() {
    if (window) {
        window->setWindowTitle(qtext(tr("app.title")));
    }
    heading->setText(qtext(tr("app.title")));
    subtitle->setText(qtext(tr("main.subtitle")));
    devicesHeading->setText(qtext(tr("main.devices")));
    empty->setText(qtext(tr("main.no_devices_title")));
    emptyHelp->setText(qtext(tr("main.no_devices_subtitle")));
    presets->setToolTip(qtext(tr("main.active_preset")));
    setTipAndName(*savePreset, "main.save_preset");
    setTipAndName(*settings, "main.settings");
    setTipAndName(*refresh, "main.refresh");
    setTipAndName(*add, "main.add_device");
    setTipAndName(*closeNotice, "main.close");
    if (store) {
        std::vector<std::string> names;
        for (const auto& preset : store->document.presets) {
            names.push_back(preset.name);
        }
        presets->setChoices(names);
        presets->setSelected(static_cast<int>(store->activeIndex()));
    }
}

void ClientApp::showWindow() {
    if (window) {
        window->bringToFront();
    }
}

bool ClientApp::windowShown() const {
    return window && window->isVisible() && !window->isMinimized();
}

void ClientApp::concealWindow() {
    if (trayAvailable()) {
        window->hide();
    } else {
        window->showMinimized();
    }
}

void ClientApp::toggleWindow() {
    if (windowShown()) {
        concealWindow();
    } else {
        showWindow();
    }
    updateStatusMenu();
}

void ClientApp::settingsAction() {
    showWindow();
    showSettings();
}

bool ClientApp::windowShouldClose() {
    concealWindow();
    updateStatusMenu();
    return false;
}

void ClientApp::presentDialog(std::shared_ptr<PanelDialog> dialog,
                              std::function<void(bool)> completion) {
    activeDialog = dialog;
    QPointer<ClientApp> self(this);
    dialog->present(window, [self, completion = std::move(completion)](bool accepted) {
        if (!self) {
            return;
        }
        // The dialog is still on the call stack that reports its end; it is released afterwards.
        std::shared_ptr<PanelDialog> finished = std::move(self->activeDialog);
        self->activeDialog.reset();
        if (completion) {
            completion(accepted);
        }
        QTimer::singleShot(0, [finished] {});
    });
}

// Once, from the event loop, after the window's first frame; at once when the window starts
// hidden, and after a second in case a display never exposes it.
void ClientApp::afterFirstFrame(std::function<void()> work) {
    auto pending = std::make_shared<std::function<void()>>(std::move(work));
    auto once = [pending] {
        if (*pending) std::exchange(*pending, {})();
    };
    if (windowShown()) {
        window->afterFirstFrame(once);
        QTimer::singleShot(1000, this, once);
    } else {
        QTimer::singleShot(0, this, once);
    }
}

bool ClientApp::applicationShouldHandleReopen() {
    showWindow();
    return true;
}

DeviceCard* ClientApp::card(uint32_t id) const {
    for (DeviceCard* shown : cards) {
        if (shown->profile().id == id) return shown;
    }
    return nullptr;
}

PanelDialog* ClientApp::shownDialog() const {
    PanelDialog* dialog = activeDialog.get();
    return dialog && dialog->window() && dialog->window()->isVisible() ? dialog : nullptr;
}

}  // namespace vornisel
