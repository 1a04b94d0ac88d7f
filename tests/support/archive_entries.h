#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vornisel::test {

// Lists a zip archive's entries with unzip, one per line, in archive order.
std::vector<std::string> archiveEntries(const std::filesystem::path& archive);

}  // namespace vornisel::test
