// The delay of sound through two engines and the server on 127.0.0.1, on ALSA file devices:
// engine A records bursts of a 1 kHz tone from a file, the server passes them on, engine B plays
// them into another file. Where A reads and B writes at one moment (A's read offset in its file,
// B's file size) places each burst's start on both sides; the difference is the delay, against
// the engines' own budget: client_latency_blocks × block time plus the measured round trip,
// within one block.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <thread>
#include <vector>

#include "engine/engine_command.h"
#include "engine/process.h"
#include "engine/telemetry.h"
#include "server/stream_devices.h"

using namespace vornisel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kRate = 48000;
constexpr size_t kFrameBytes = test::kStreamFrameBytes;
constexpr size_t kPeriod = kRate;  // half a second of silence, half a second of tone
constexpr int kLatencyBlocks = 2;
constexpr int kBursts = 15;

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text;
}

void writeBursts(const fs::path& file, int periods) {
    std::vector<int32_t> samples(kPeriod * 2 * static_cast<size_t>(periods), 0);
    for (size_t i = 0; i < samples.size() / 2; ++i)
        if (i % kPeriod >= kPeriod / 2)
            samples[2 * i] = samples[2 * i + 1] = static_cast<int32_t>(
                std::lround(1e9 * std::sin(2 * std::numbers::pi * 1000.0 * i / kRate)));
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size() * sizeof(int32_t)));
}

std::shared_ptr<Process> startEngine(const fs::path& dir, int port, uint32_t id,
                                     const std::string& device) {
    const fs::path config = dir / (device + ".ini");
    write(config, "[network]\nserver_ip=127.0.0.1\nserver_port=" + std::to_string(port) +
                      "\nclient_id=" + std::to_string(id) +
                      "\n[latency]\nclient_latency_blocks=" + std::to_string(kLatencyBlocks) +
                      "\nlatency_mode=Custom\n[vornisel]\ndriver_outputs=0,1\ndriver_inputs=0,1\n"
                      "[coreaudio]\ndevice_uid=" +
                      device + "\noutput_map=0,1\ninput_map=0,1\n");
    auto process = Process::create(VORNISEL_BUNDLE_DIR "/Contents/MacOS/vornisel_macos_engine_host",
                                   {"--config", config.string(), "--client-id", std::to_string(id),
                                    "--parent-pid", std::to_string(getpid())});
    process->launch();
    return process;
}

int64_t status(uint32_t id) {
    const auto state = engineCommand(id, "GET_STATE");
    return state ? state->value("status", int64_t{0}) : 0;
}

// The first loud frame of B's output in [from, from + count), once that much is written.
std::optional<size_t> onset(const fs::path& file, size_t from, size_t count) {
    if (fs::file_size(file) / kFrameBytes < from + count) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from * kFrameBytes));
    int32_t frame[2];
    for (size_t at = from; at < from + count; ++at) {
        in.read(reinterpret_cast<char*>(frame), sizeof frame);
        if (std::abs(frame[0]) > 200'000'000) return at;
    }
    return from + count;
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("vornisel-delay-" + std::to_string(getpid()));
    fs::create_directories(dir);
    write(dir / ".asoundrc", vornisel::test::streamDevices(dir));
    writeBursts(dir / "a_in.raw", kBursts + 30);
    setenv("HOME", dir.c_str(), 1);
    const int port = 39000 + getpid() % 1000;
    auto server = Process::create(VORNISEL_SERVER_PATH, {"--bind", "127.0.0.1", "--port",
                                                         std::to_string(port), "--no-dnssd"});
    server->launch();
    const uint32_t a = 0x60000000u + static_cast<uint32_t>(getpid()) * 2, b = a + 1;
    auto engineA = startEngine(dir, port, a, "stream_a");
    auto engineB = startEngine(dir, port, b, "stream_b");
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while ((status(a) != 3 || status(b) != 3) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<double> delays;
    for (int i = 0; i < kBursts && status(a) == 3; ++i) {
        const size_t written = fs::file_size(dir / "b_out.raw") / kFrameBytes;
        const auto reading = test::readPosition(engineA->processIdentifier(), dir / "a_in.raw");
        if (!reading) break;
        const size_t ahead = (*reading / kPeriod + 1) * kPeriod + kPeriod / 2 - *reading;
        const size_t from = written + ahead - kPeriod / 4;
        std::optional<size_t> at;
        const auto giveUp = Clock::now() + std::chrono::seconds(5);
        while (!(at = onset(dir / "b_out.raw", from, kPeriod / 2)) && Clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (at && *at < from + kPeriod / 2)
            delays.push_back(1000.0 * (static_cast<double>(*at - written) - ahead) / kRate);
    }
    const auto stats = Telemetry::read(b);
    const double rtt = stats ? (*stats)["net_time_probe_p50_rtt_microseconds"] / 1000.0 : 0;
    const double block = 1000.0 * 64 / kRate;
    std::sort(delays.begin(), delays.end());
    if (delays.empty())
        std::printf("stream delay: no burst came through\n");
    else
        std::printf(
            "stream delay, %d blocks of 64 frames at 48 kHz through 127.0.0.1: median %.2f"
            " ms (min %.2f, max %.2f, %zu bursts); budget %.2f ms = %d x %.2f ms + RTT"
            " %.2f ms, within one block (%.2f ms)\n",
            kLatencyBlocks, delays[delays.size() / 2], delays.front(), delays.back(), delays.size(),
            kLatencyBlocks * block + rtt, kLatencyBlocks, block, rtt, block);
    engineCommand(a, "STOP");
    engineCommand(b, "STOP");
    engineA->waitForExit(Clock::now() + std::chrono::seconds(5));
    engineB->waitForExit(Clock::now() + std::chrono::seconds(5));
    server->terminate();
    server->waitForExit(Clock::now() + std::chrono::seconds(5));
    fs::remove_all(dir);
    return 0;
}
