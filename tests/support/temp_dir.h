#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace vornisel::test {

// A fresh directory under the system temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Polls `condition` until it holds or `timeout` passes; returns whether it held.
bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(5),
             std::chrono::milliseconds interval = std::chrono::milliseconds(10));

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

// The built application folder and the programs inside it.
std::filesystem::path bundleDir();
std::filesystem::path engineHostPath();
std::filesystem::path programPath();
std::filesystem::path sourceDir();

}  // namespace vornisel::test
