#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "support/temp_dir.h"

namespace vornisel::test {

// The built vornisel-server, run on 127.0.0.1 without DNS-SD: on a free port, or on `port` to
// come back where an earlier one was. Stopped (SIGTERM, then SIGKILL) when it goes.
class ServerProcess {
public:
    explicit ServerProcess(uint16_t port = 0);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // The port it listens on; 0 when it did not say so in time.
    uint16_t port() const { return port_; }
    pid_t pid() const { return pid_; }
    // Stops it and returns its exit status (-1: it did not exit by itself in time).
    int stop();
    std::string errors() const { return readFile(dir_ / "err"); }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

}  // namespace vornisel::test
