#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <string>

#include "desktop/launch_token.h"

class QLocalServer;
class QLocalSocket;

namespace vornisel {

// The running panel's side of SingleInstance: listens on the data directory's socket and, for
// each second launch that sends the reopen request, calls `reopen` with the launch's token on the
// main thread and answers.
// Anything else a client sends is dropped with its connection. Never blocks: every read and
// write waits in the event loop.
class ReopenListener : public QObject {
    Q_OBJECT

public:
    explicit ReopenListener(std::function<void(const LaunchToken&)> reopen,
                            QObject* parent = nullptr);
    ~ReopenListener() override;

    // Starts listening at `socket`, replacing a file left there by a panel that ended without
    // removing it (the caller holds the directory's lock, so no live panel listens there).
    // Returns the error text, or "" once listening.
    std::string listen(const std::filesystem::path& socket);

private:
    void accept();
    void read(QLocalSocket* client);

    std::function<void(const LaunchToken&)> reopen_;
    QLocalServer* server_ = nullptr;
};

}  // namespace vornisel
