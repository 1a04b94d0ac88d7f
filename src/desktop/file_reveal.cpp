#include "desktop/file_reveal.h"

#include <QDesktopServices>
#include <QUrl>

#ifdef VORNISEL_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#endif

namespace vornisel {

namespace {

void openFolder(const std::filesystem::path& file) {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(file.parent_path().string())));
}

}  // namespace

void revealInFileManager(const std::filesystem::path& file) {
#ifdef VORNISEL_HAVE_QTDBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
            "org.freedesktop.FileManager1", "ShowItems");
        call << QStringList{QUrl::fromLocalFile(QString::fromStdString(file.string())).toString()}
             << QString();
        // Asynchronous: the service may first have to be started, and the panel must not wait
        // for a file manager.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                         [file](QDBusPendingCallWatcher* finished) {
                             if (finished->isError()) openFolder(file);
                             finished->deleteLater();
                         });
        return;
    }
#endif
    openFolder(file);
}

}  // namespace vornisel
