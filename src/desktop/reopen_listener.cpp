#include "desktop/reopen_listener.h"

#include <sys/stat.h>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cstring>
#include <utility>

#include "base/safe_file.h"
#include "desktop/single_instance.h"

namespace vornisel {

namespace {

// A client that has not sent its request by then is dropped.
constexpr int kClientTimeoutMs = 5000;

}  // namespace

ReopenListener::ReopenListener(std::function<void(const LaunchToken&)> reopen, QObject* parent)
    : QObject(parent), reopen_(std::move(reopen)) {}

ReopenListener::~ReopenListener() {
    if (server_) server_->close();
}

std::string ReopenListener::listen(const std::filesystem::path& socket) {
    // Only in a folder of our own: in another user's, they could replace or read the socket.
    try {
        openRootFolder(socket.parent_path(), false);
    } catch (const UnsafeFileError& error) {
        return error.what();
    }
    const QString name = QString::fromStdString(socket.string());
    QLocalServer::removeServer(name);
    server_ = new QLocalServer(this);
    connect(server_, &QLocalServer::newConnection, this, &ReopenListener::accept);
    // The socket is made for this user alone by the creation mask, not by the toolkit's access
    // option: that one builds it in a temporary folder and removes the folder, which a file
    // system mounted with "discard" makes the launch wait for.
    const mode_t mask = ::umask(0077);
    const bool listening = server_->listen(name);
    ::umask(mask);
    if (!listening) return socket.string() + ": " + server_->errorString().toStdString();
    return {};
}

void ReopenListener::accept() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { read(client); });
        QTimer::singleShot(kClientTimeoutMs, client, [client] { client->abort(); });
        // The request may have arrived with the connection.
        if (client->bytesAvailable() > 0) read(client);
    }
}

void ReopenListener::read(QLocalSocket* client) {
    const qsizetype length = static_cast<qsizetype>(kMaxReopenRequest);
    if (client->bytesAvailable() < length && !client->canReadLine()) return;
    const QByteArray request = client->readLine(length + 1);
    if (const auto token = parseReopenRequest(request.toStdString())) {
        reopen_(*token);
        client->write(SingleInstance::reopenAnswer);
        client->flush();
    }
    client->disconnectFromServer();
}

}  // namespace vornisel
