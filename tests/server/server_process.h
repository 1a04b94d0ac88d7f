#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/process.h"
#include "support/temp_dir.h"

namespace vornisel::test {

// The built vornisel-server, run on 127.0.0.1 without DNS-SD: on a free port, or on `port` to
// come back where an earlier one was. Stopped when it goes.
class ServerProcess {
public:
    explicit ServerProcess(uint16_t port = 0);
    ~ServerProcess() { stop(); }

    // The port it listens on; 0 when it did not say so in time.
    uint16_t port() const { return port_; }
    pid_t pid() const { return process_->processIdentifier(); }
    // SIGTERM; its exit status, or -1 when it had to be killed.
    int stop();
    std::string errors() const { return readFile(dir_ / "err"); }

private:
    TempDir dir_;
    std::shared_ptr<Process> process_;
    uint16_t port_ = 0;
};

}  // namespace vornisel::test
