#include "check/smoke_files.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace vornisel {

namespace {

constexpr uint32_t endOfDirectory = 0x06054b50;
constexpr uint32_t directoryEntry = 0x02014b50;
constexpr size_t endRecordSize = 22;

uint32_t little(const std::string& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    }
    return value;
}

// The end record lies in the last 22 bytes plus at most a 65535-byte comment.
std::optional<size_t> findEndRecord(const std::string& bytes) {
    if (bytes.size() < endRecordSize) return std::nullopt;
    const size_t lowest =
        bytes.size() > endRecordSize + 65535 ? bytes.size() - endRecordSize - 65535 : 0;
    for (size_t at = bytes.size() - endRecordSize + 1; at-- > lowest;) {
        if (little(bytes, at, 4) == endOfDirectory) return at;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

std::optional<nlohmann::ordered_json> jsonFile(const std::filesystem::path& file) {
    const auto text = fileText(file);
    if (!text) return std::nullopt;
    auto parsed = nlohmann::ordered_json::parse(*text, nullptr, false);
    if (parsed.is_discarded()) return std::nullopt;
    return parsed;
}

std::vector<std::string> textLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::optional<std::vector<std::string>> zipEntries(const std::filesystem::path& archive) {
    const auto bytes = fileText(archive);
    if (!bytes) return std::nullopt;
    const auto end = findEndRecord(*bytes);
    if (!end) return std::nullopt;
    const uint32_t count = little(*bytes, *end + 10, 2);
    size_t at = little(*bytes, *end + 16, 4);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 46 > bytes->size() || little(*bytes, at, 4) != directoryEntry) return std::nullopt;
        const size_t nameLength = little(*bytes, at + 28, 2);
        const size_t extraLength = little(*bytes, at + 30, 2);
        const size_t commentLength = little(*bytes, at + 32, 2);
        if (at + 46 + nameLength > bytes->size()) return std::nullopt;
        names.push_back(bytes->substr(at + 46, nameLength));
        at += 46 + nameLength + extraLength + commentLength;
    }
    return names;
}

std::vector<int> childProcesses() {
    std::vector<int> children;
    const int self = ::getpid();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const auto stat = fileText(entry.path() / "stat");
        if (!stat) continue;
        // "pid (command) state ppid ...": the command may hold spaces and parentheses.
        const size_t close = stat->rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat->substr(close + 1));
        std::string state;
        int parent = 0;
        rest >> state >> parent;
        if (parent == self) children.push_back(std::stoi(name));
    }
    return children;
}

bool processExists(int pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace vornisel
