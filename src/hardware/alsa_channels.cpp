#include "hardware/alsa_channels.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <memory>
#include <vector>

namespace vornisel {

namespace {

// What the probing child writes: channels and busy flag per direction, input first. Far below
// PIPE_BUF, so it arrives whole or not at all.
using ProbeWords = std::array<int, 4>;

[[noreturn]] void probeInChild(const std::string& pcm, int out) {
    const ChannelProbe input = probeChannels(pcm, true);
    const ChannelProbe output = probeChannels(pcm, false);
    const ProbeWords words = {input.channels, input.busy, output.channels, output.busy};
    [[maybe_unused]] const ssize_t written = write(out, words.data(), sizeof words);
    // No exit handlers and no flushing of the parent's buffers: this is a copy of the caller.
    _exit(0);
}

// One probing child and what it has written so far.
struct PendingProbe {
    pid_t child = -1;
    int answer = -1;  // the read end of the child's pipe
    ProbeWords words{};
    size_t got = 0;
    bool complete() const { return got == sizeof words; }
};

PendingProbe startProbe(const std::string& pcm) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        probeInChild(pcm, ends[1]);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        return {};
    }
    PendingProbe probe;
    probe.child = child;
    probe.answer = ends[0];
    return probe;
}

// Reads what is ready; a child that closed its end or failed the read is given up.
void readSome(PendingProbe& probe) {
    auto* bytes = reinterpret_cast<char*>(probe.words.data());
    const ssize_t n = read(probe.answer, bytes + probe.got, sizeof probe.words - probe.got);
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) {
        close(probe.answer);
        probe.answer = -1;
        return;
    }
    probe.got += static_cast<size_t>(n);
}

// Reads the children's answers until each is complete or given up, or `bound` has passed.
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

// Ends a child, answered or not, and gives its result.
std::optional<PcmChannels> finish(PendingProbe& probe) {
    if (probe.answer >= 0) close(probe.answer);
    if (probe.child < 0) return std::nullopt;
    // The child is ours until reaped, so the signal cannot reach another process; one that has
    // answered is exiting anyway.
    kill(probe.child, SIGKILL);
    while (waitpid(probe.child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!probe.complete()) return std::nullopt;
    const ProbeWords& w = probe.words;
    return PcmChannels{{w[0], w[1] != 0}, {w[2], w[3] != 0}};
}

}  // namespace

int reportedChannels(unsigned maximum) {
    if (maximum > kUnboundedChannels) return kConvertingPcmChannels;
    return static_cast<int>(maximum);
}

std::optional<int> channelsInUse(std::string_view text) {
    constexpr std::string_view key = "channels:";
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with(key)) continue;
        line.remove_prefix(key.size());
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        int channels = 0;
        const auto [rest, error] =
            std::from_chars(line.data(), line.data() + line.size(), channels);
        if (error == std::errc() && channels > 0) return channels;
        return std::nullopt;
    }
    return std::nullopt;
}

ChannelProbe probeChannels(const std::string& pcm, bool input) {
    snd_pcm_t* handle = nullptr;
    const int opened =
        snd_pcm_open(&handle, pcm.c_str(), input ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                     SND_PCM_NONBLOCK);
    if (opened == -EBUSY) return {0, true};
    if (opened < 0) return {};
    std::unique_ptr<snd_pcm_t, int (*)(snd_pcm_t*)> closer(handle, snd_pcm_close);

    snd_pcm_hw_params_t* params = nullptr;
    if (snd_pcm_hw_params_malloc(&params) < 0) return {};
    std::unique_ptr<snd_pcm_hw_params_t, void (*)(snd_pcm_hw_params_t*)> freer(
        params, snd_pcm_hw_params_free);
    unsigned maximum = 0;
    if (snd_pcm_hw_params_any(handle, params) < 0 ||
        snd_pcm_hw_params_get_channels_max(params, &maximum) < 0) {
        return {};
    }
    return {reportedChannels(maximum), false};
}

std::vector<std::optional<PcmChannels>> probeChannelsWithin(const std::vector<std::string>& pcms,
                                                            std::chrono::milliseconds bound) {
    // Parsed once here, ALSA's configuration is inherited by every child instead of each child
    // reading all of it again: the probes then only open their PCM.
    snd_config_update();
    std::vector<PendingProbe> probes;
    probes.reserve(pcms.size());
    for (const std::string& pcm : pcms)
        probes.push_back(startProbe(pcm));
    collectAnswers(probes, bound);
    std::vector<std::optional<PcmChannels>> results;
    results.reserve(probes.size());
    for (PendingProbe& probe : probes)
        results.push_back(finish(probe));
    return results;
}

}  // namespace vornisel
