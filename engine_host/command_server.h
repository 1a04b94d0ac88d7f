#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host_options.h"

namespace vornisel::enginehost {

// The listening command socket. One command line per connection, one JSON reply, then close.
class CommandServer {
public:
    // Binds the socket path of `id`, clearing a stale socket file of our own first; refuses a
    // path owned by another user, one that is not a socket, and one where a host still listens.
    static std::unique_ptr<CommandServer> open(uint32_t id, const Faults& faults,
                                               std::string& error);
    ~CommandServer();
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    int fd() const { return fd_; }
    // Accepts one waiting connection and answers it. Returns the command it read ("" if none).
    std::string serveOne(const std::string& stateReply);
    // Unlinks the socket file if it is still ours; also done by the destructor.
    void remove();

private:
    CommandServer(uint32_t id, int fd, const Faults& faults, dev_t device, ino_t inode);
    void answer(int client, const std::string& command, const std::string& stateReply);
    std::string stopReply() const;

    uint32_t id_;
    int fd_;
    const Faults& faults_;
    dev_t device_;
    ino_t inode_;
    // Connections a silent host keeps open without answering.
    std::vector<int> held_;
};

}  // namespace vornisel::enginehost
