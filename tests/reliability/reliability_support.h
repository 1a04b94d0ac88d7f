#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/process.h"
#include "support/temp_dir.h"

namespace vornisel::test {

// A device identifier that no other test process picks at the same time.
uint32_t freshDeviceId();

// The helper programs built beside this test (tools/).
std::filesystem::path toolPath(const std::string& name);

// A program started with its standard output on a pipe the test reads; killed when it goes.
struct Piped {
    std::shared_ptr<Process> process;
    int output = -1;  // read end, owned
    ~Piped();
    // Up to `bytes` of output, waiting at most `timeout` for the first of them.
    std::string read(size_t bytes, std::chrono::milliseconds timeout);
};
std::unique_ptr<Piped> startPiped(const std::filesystem::path& program,
                                  const std::vector<std::string>& arguments);

bool socketFileExists(uint32_t id);
bool statsObjectExists(uint32_t id);

// Names in `dir` other than panel.json and profiles.json: temporaries a save left behind.
std::vector<std::string> strayFiles(const std::filesystem::path& dir);

}  // namespace vornisel::test
