#include "desktop/reopen_listener.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cstring>
#include <utility>

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
    const QString name = QString::fromStdString(socket.string());
    QLocalServer::removeServer(name);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &ReopenListener::accept);
    if (!server_->listen(name)) return server_->errorString().toStdString();
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
