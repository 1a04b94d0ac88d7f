#include "support/archive_entries.h"

#include <cstdio>

namespace vornisel::test {

std::vector<std::string> archiveEntries(const std::filesystem::path& archive) {
    std::vector<std::string> entries;
    std::string quoted = "'";
    for (char c : archive.string())
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    FILE* pipe = popen(("unzip -Z1 " + quoted + "'").c_str(), "r");
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) {
        std::string entry(buffer);
        if (!entry.empty() && entry.back() == '\n') entry.pop_back();
        entries.push_back(entry);
    }
    if (pipe) pclose(pipe);
    return entries;
}

}  // namespace vornisel::test
