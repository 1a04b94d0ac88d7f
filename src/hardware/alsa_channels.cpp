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

// Reads the child's answer until it is complete, the child closed its end or `bound` passed.
bool readAnswer(int in, ProbeWords& words, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    auto* bytes = reinterpret_cast<char*>(words.data());
    size_t got = 0;
    while (got < sizeof words) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd readable{in, POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = read(in, bytes + got, sizeof words - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
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

std::optional<PcmChannels> probeChannelsWithin(const std::string& pcm,
                                               std::chrono::milliseconds bound) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        probeInChild(pcm, ends[1]);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        return std::nullopt;
    }
    ProbeWords words{};
    const bool answered = readAnswer(ends[0], words, bound);
    close(ends[0]);
    // The child is ours until reaped, so the signal cannot reach another process; one that has
    // answered is exiting anyway.
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!answered) return std::nullopt;
    return PcmChannels{{words[0], words[1] != 0}, {words[2], words[3] != 0}};
}

}  // namespace vornisel
