#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vornisel::test {

// How a program run as a child ended and what it wrote.
struct ChildResult {
    int exitStatus = -1;  // -1 when it did not exit normally or was killed
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` in `workingDirectory`, with this process's environment changed
// by `environment` (a value of nullopt removes the variable), and waits for it to end. A child
// still running at `timeout` is killed.
ChildResult runChild(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments,
                     const std::map<std::string, std::optional<std::string>>& environment = {},
                     const std::filesystem::path& workingDirectory = {},
                     std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace vornisel::test
