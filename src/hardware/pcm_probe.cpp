#include "hardware/pcm_probe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>

#include "base/app_bundle.h"

extern char** environ;

namespace vornisel {

namespace {

// An answer is a few digits; anything longer is not one.
constexpr size_t kLongestAnswer = 64;

// One probing helper and what it has written so far.
struct PendingProbe {
    pid_t child = -1;
    int answer = -1;  // the read end of the helper's standard output
    std::string text;
    bool complete() const { return !text.empty() && text.back() == '\n'; }
};

// The helper reads nothing and says nothing but its answer: plugin libraries print to standard
// error at every open, which would end up in the panel's log.
bool spawnHelper(const std::string& program, const std::string& pcm, int out, pid_t& child) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::array<char*, 3> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(pcm.c_str()),
                                 nullptr};
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0;
}

PendingProbe startProbe(const std::string& program, const std::string& pcm) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return {};
    PendingProbe probe;
    const bool started = spawnHelper(program, pcm, ends[1], probe.child);
    close(ends[1]);
    if (!started) {
        close(ends[0]);
        return {};
    }
    probe.answer = ends[0];
    return probe;
}

// Reads what is ready; a helper that closed its end or failed the read is given up.
void readSome(PendingProbe& probe) {
    std::array<char, kLongestAnswer> buffer;
    const ssize_t n = read(probe.answer, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) return;
    if (n <= 0 || probe.text.size() + static_cast<size_t>(n) > kLongestAnswer) {
        close(probe.answer);
        probe.answer = -1;
        return;
    }
    probe.text.append(buffer.data(), static_cast<size_t>(n));
}

// Reads the helpers' answers until each is complete or given up, or `bound` has passed.
void collectAnswers(std::vector<PendingProbe>& probes, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        std::vector<pollfd> waiting;
        std::vector<PendingProbe*> owners;
        for (PendingProbe& probe : probes) {
            if (probe.answer < 0 || probe.complete()) continue;
            waiting.push_back({probe.answer, POLLIN, 0});
            owners.push_back(&probe);
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (waiting.empty() || left.count() <= 0) return;
        const int ready = poll(waiting.data(), waiting.size(), static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) return;
        for (size_t i = 0; ready > 0 && i < waiting.size(); ++i) {
            if (waiting[i].revents != 0) readSome(*owners[i]);
        }
    }
}

// Ends a helper, answered or not, and gives its result.
std::optional<PcmChannels> finish(PendingProbe& probe) {
    if (probe.answer >= 0) close(probe.answer);
    if (probe.child < 0) return std::nullopt;
    // The helper is ours until reaped, so the signal cannot reach another process; one that has
    // answered is exiting anyway.
    kill(probe.child, SIGKILL);
    while (waitpid(probe.child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!probe.complete()) return std::nullopt;
    return parseProbeAnswer(probe.text);
}

// One decimal number and the separator after it.
bool readNumber(std::string_view& text, int& value, char separator) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() + text.size() || *end != separator) {
        return false;
    }
    text.remove_prefix(static_cast<size_t>(end - text.data()) + 1);
    return value >= 0;
}

}  // namespace

std::string probeAnswer(const PcmChannels& channels) {
    const auto flag = [](bool busy) { return busy ? "1" : "0"; };
    return std::to_string(channels.input.channels) + " " + flag(channels.input.busy) + " " +
           std::to_string(channels.output.channels) + " " + flag(channels.output.busy) + "\n";
}

std::optional<PcmChannels> parseProbeAnswer(std::string_view text) {
    std::array<int, 4> words{};
    for (size_t i = 0; i < words.size(); ++i) {
        if (!readNumber(text, words[i], i + 1 < words.size() ? ' ' : '\n')) return std::nullopt;
    }
    if (!text.empty() || words[1] > 1 || words[3] > 1) return std::nullopt;
    return PcmChannels{{words[0], words[1] == 1}, {words[2], words[3] == 1}};
}

std::vector<std::optional<PcmChannels>> probeChannelsWithin(const std::vector<std::string>& pcms,
                                                            std::chrono::milliseconds bound) {
    const std::string program = (AppBundle::executables() / kPcmProbeProgram).string();
    std::vector<PendingProbe> probes;
    probes.reserve(pcms.size());
    for (const std::string& pcm : pcms)
        probes.push_back(startProbe(program, pcm));
    collectAnswers(probes, bound);
    std::vector<std::optional<PcmChannels>> results;
    results.reserve(probes.size());
    for (PendingProbe& probe : probes)
        results.push_back(finish(probe));
    return results;
}

}  // namespace vornisel
