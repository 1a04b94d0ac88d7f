// The support bundle: one device's files written into a fresh folder, then archived by zip in
// the background.
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <chrono>

#include "app/client_app.h"
#include "app/random_uuid.h"
#include "app/support_bundle.h"
#include "desktop/file_reveal.h"
#include "engine/process.h"
#include "l10n/error_text.h"
#include "l10n/localizer.h"

namespace vornisel {

namespace {

int64_t secondsSince1970() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

void archiverEnded(ClientApp& app, const std::filesystem::path& archive, int status) {
    if (status != 0) {
        app.showNotice(tr("notice.support_bundle_failed", status), true);
        return;
    }
    app.showNotice(tr("notice.support_bundle_saved", archive.string()), false);
    if (!app.testMode) revealInFileManager(archive);
}

}  // namespace

void ClientApp::exportBundle(uint32_t id) {
    if (!store) return;
    const std::vector<Profile>& clients = store->clients();
    const auto client = std::find_if(clients.begin(), clients.end(),
                                     [id](const Profile& profile) { return profile.id == id; });
    if (client == clients.end()) return;
    const Profile profile = *client;

    const SupportBundle bundle(store->directory(), id, secondsSince1970(), randomUuid());
    std::shared_ptr<Process> archiver;
    std::string failure;
    try {
        bundle.write(*store, profile, *runtime(id));
        const SupportBundle::Command command = bundle.archiver();
        archiver = Process::create(command.executable, command.arguments);
        archiver->setWorkingDirectory(command.workingDirectory);
    } catch (const std::exception& error) {
        failure = errorText(error);
    }
    if (archiver) {
        // The handler runs on the process's waiter thread; everything else happens on the main
        // thread, and only if the controller is still there.
        QPointer<ClientApp> self(this);
        archiver->setTerminationHandler([self, archive = bundle.archive()](Process& process) {
            const int status = process.terminationStatus();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, archive, status] {
                    if (self) archiverEnded(*self, archive, status);
                },
                Qt::QueuedConnection);
        });
        if (archiver->launch(&failure)) return;
    }
    showNotice(vornisel::tr("notice.support_bundle_failed", failure), true);
}

}  // namespace vornisel
