// Quitting: the window size is stored at every attempt, and running engines are stopped with the
// group stop before the application may end.
#include <QEventLoop>
#include <QPointer>
#include <QSessionManager>
#include <QTimer>

#include "app/client_app.h"
#include "desktop/quit_signals.h"
#include "l10n/localizer.h"
#include "ui/card/main_content.h"

namespace vornisel {

TerminateReply ClientApp::applicationShouldTerminate(bool ending) {
    if (!store) {
        return TerminateReply::now;
    }
    auto& settings = store->document.settings;
    settings.width = root->width();
    settings.height = root->height();
    // saveStore shows its failure; only an interactive quit stays for the user to act on it.
    if (!saveStore() && !ending) {
        return TerminateReply::cancel;
    }
    ending_ = ending_ || ending;
    if (!anyRunning()) {
        return TerminateReply::now;
    }
    if (exiting) {
        return TerminateReply::cancel;
    }
    exiting = true;
    QTimer::singleShot(0, this, [this] { deferredQuit(); });
    return TerminateReply::later;
}

void ClientApp::deferredQuit() {
    if (groupBusy()) {
        finishQuit(false);
        return;
    }
    QPointer<ClientApp> self(this);
    stopGroup([self](bool stopped) {
        if (self) {
            self->finishQuit(stopped);
        }
    });
}

void ClientApp::finishQuit(bool terminate) {
    exiting = false;
    terminate = terminate || std::exchange(ending_, false);
    if (!terminate) {
        showWindow();
        showNotice(tr("notice.exit_canceled"), true);
    }
    replyToApplicationShouldTerminate(terminate);
}

void ClientApp::replyToApplicationShouldTerminate(bool terminate) {
    auto reply = std::exchange(pendingReply_, {});
    if (reply) {
        reply(terminate);
    } else if (terminate && terminateHandler_) {
        terminateHandler_();
    }
}

void ClientApp::terminate() {
    requestTermination(false);
}

void ClientApp::terminateForSession() {
    requestTermination(true);
}

void ClientApp::requestTermination(bool ending) {
    switch (applicationShouldTerminate(ending)) {
        case TerminateReply::now:
            if (terminateHandler_) {
                terminateHandler_();
            }
            break;
        case TerminateReply::later:
            pendingReply_ = [this](bool allowed) {
                if (allowed && terminateHandler_) {
                    terminateHandler_();
                }
            };
            break;
        case TerminateReply::cancel:
            break;
    }
}

void ClientApp::commitData(QSessionManager& manager) {
    // The session waits for this answer, so a deferred quit is waited for here, with the event
    // loop running so that the stops can complete.
    bool allowed = true;
    switch (applicationShouldTerminate(true)) {
        case TerminateReply::now:
            break;
        case TerminateReply::cancel:
            allowed = false;
            break;
        case TerminateReply::later: {
            QEventLoop loop;
            pendingReply_ = [&](bool answer) {
                allowed = answer;
                loop.quit();
            };
            loop.exec();
            break;
        }
    }
    if (!allowed && manager.allowsInteraction()) {
        manager.cancel();
        manager.release();
    }
}

void ClientApp::stopEnginesBeforeExit() {
    // Reached when the application ends by a path that did not ask first; no engine may outlive
    // the panel, so the group stop runs to its end here.
    if (!anyRunning() || groupBusy()) {
        return;
    }
    QEventLoop loop;
    bool done = false;
    stopGroup([&](bool) {
        done = true;
        loop.quit();
    });
    if (!done) {
        loop.exec();
    }
}

}  // namespace vornisel
