// Two real engines stream through a real server on 127.0.0.1, on ALSA devices made of files, so
// no sound card is needed: engine A records bursts of a 1 kHz sine from a file, engine B plays
// what the server sends it into another file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "engine/engine_command.h"
#include "engine/process.h"
#include "engine/telemetry.h"
#include "server_process.h"
#include "stream_devices.h"
#include "support/alsa_home.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr size_t kRate = 48000;
constexpr size_t kFrameBytes = test::kStreamFrameBytes;
constexpr int kLatencyBlocks = 4;
constexpr double kAmplitude = 0.5;
// A's recording: a second of silence, then a second of the tone, again and again.
constexpr size_t kPeriod = 2 * kRate;

void writeBursts(const fs::path& file, int periods) {
    std::vector<int32_t> samples(kPeriod * 2 * periods, 0);
    for (size_t i = 0; i < samples.size() / 2; ++i) {
        if (i % kPeriod < kRate) continue;
        const double v = kAmplitude * std::sin(2 * std::numbers::pi * 1000.0 * i / kRate);
        samples[2 * i] = samples[2 * i + 1] = static_cast<int32_t>(std::lround(v * 2147483647.0));
    }
    test::writeFile(
        file, {reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(int32_t)});
}

// Up to `count` frames of the left channel of B's output from frame `from`.
std::vector<float> leftChannel(const fs::path& file, size_t from, size_t count) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from * kFrameBytes));
    std::vector<int32_t> frames(count * 2);
    in.read(reinterpret_cast<char*>(frames.data()),
            static_cast<std::streamsize>(count * kFrameBytes));
    std::vector<float> out(static_cast<size_t>(in.gcount()) / kFrameBytes);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(frames[i * 2] / 2147483648.0);
    return out;
}

// Whether 100 ms from `start` hold the tone: its zero crossings and its peak.
bool holdsTone(const std::vector<float>& x, size_t start) {
    int crossings = 0;
    float peak = 0;
    for (size_t i = start; i < start + kRate / 10; ++i) {
        crossings += (x[i] >= 0) != (x[i + 1] >= 0);
        peak = std::max(peak, std::abs(x[i]));
    }
    return std::abs(crossings * 5 - 1000) <= 20 && std::abs(peak - kAmplitude) <= 0.06;
}

// One engine host, started as the panel starts it.
struct Engine {
    uint32_t id;
    std::shared_ptr<Process> process;

    Engine(const test::TempDir& dir, uint16_t port, uint32_t engineId, const std::string& device)
        : id(engineId) {
        const auto config = dir / (device + ".ini");
        test::writeFile(config,
                        "[network]\nserver_ip=127.0.0.1\nserver_port=" + std::to_string(port) +
                            "\nclient_id=" + std::to_string(id) +
                            "\n[latency]\nclient_latency_blocks=" + std::to_string(kLatencyBlocks) +
                            "\nlatency_mode=Custom\n[vornisel]\ndriver_outputs=0,1\n"
                            "driver_inputs=0,1\n[coreaudio]\ndevice_uid=" +
                            device + "\noutput_map=0,1\ninput_map=0,1\n");
        process = Process::create(test::engineHostPath(),
                                  {"--config", config.string(), "--client-id", std::to_string(id),
                                   "--parent-pid", std::to_string(getpid())});
        const int log =
            ::open((dir / (device + ".log")).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        process->setStandardOutput(log);
        process->setStandardError(log);
        process->launch();
        ::close(log);
    }
    ~Engine() {
        engineCommand(id, "STOP");
        if (!process->waitForExit(Clock::now() + std::chrono::seconds(10)))
            process->signal(SIGKILL);
    }
    int64_t status() const {
        const auto state = engineCommand(id, "GET_STATE");
        return state ? state->value("status", int64_t{0}) : 0;
    }
    int64_t rttMicros() const {
        const auto stats = Telemetry::read(id);
        return stats ? (*stats)["net_time_probe_last_rtt_microseconds"] : 0;
    }
};

TEST(StreamEndToEndTest, ASineCrossesTheServerAndTheEnginesFollowTheServer) {
    test::TempDir dir;
    const fs::path input = dir / "a_in.raw", output = dir / "b_out.raw";
    writeBursts(input, 20);
    test::AlsaHome home(test::streamDevices(dir.path()));
    test::ScopedAlsaHome scoped(home);
    auto server = std::make_unique<test::ServerProcess>();
    const uint16_t port = server->port();
    ASSERT_NE(port, 0) << server->errors();
    const uint32_t id = 0x50000000u + static_cast<uint32_t>(getpid()) * 2;
    Engine a(dir, port, id, "stream_a");
    Engine b(dir, port, id + 1, "stream_b");
    const auto log = [&] {
        return test::readFile(dir / "stream_a.log") + test::readFile(dir / "stream_b.log") +
               server->errors();
    };
    const auto both = [&](int64_t status) {
        return test::waitFor([&] { return a.status() == status && b.status() == status; },
                             std::chrono::seconds(30), std::chrono::milliseconds(50));
    };
    ASSERT_TRUE(both(3)) << "running? " << log();
    // The time probes run beside the audio, so a measured round trip may follow "running".
    EXPECT_TRUE(test::waitFor([&] { return a.rttMicros() > 0 && b.rttMicros() > 0; },
                              std::chrono::seconds(10)))
        << "no round trip measured " << log();

    // Where A is reading and B is writing at one moment, and where A's next burst begins.
    const auto since = Clock::now();
    const size_t written = fs::file_size(output) / kFrameBytes;
    const auto reading = test::readPosition(a.process->processIdentifier(), input);
    ASSERT_TRUE(reading) << "A does not read " << input;
    const size_t ahead = (*reading / kPeriod) * kPeriod + kRate - *reading + kPeriod;
    // B writes that burst `ahead` frames from now, plus the delay through engines and server.
    std::vector<float> x;
    ASSERT_TRUE(test::waitFor(
        [&] {
            x = leftChannel(output, written + ahead - kRate / 10, kRate + kRate / 2);
            return x.size() == kRate + kRate / 2;
        },
        std::chrono::seconds(20)))
        << log();
    const double elapsed = std::chrono::duration<double>(Clock::now() - since).count();
    ASSERT_LT(fs::file_size(output) / kFrameBytes - written, (elapsed + 0.2) * kRate)
        << "B plays faster than real time";
    const auto onset = std::find_if(x.begin(), x.end(), [](float v) { return v > 0.1f; });
    ASSERT_NE(onset, x.end()) << "no tone in B's output " << log();
    const double delayMs = (static_cast<double>(onset - x.begin()) - kRate / 10.0) * 1000 / kRate;
    const double configuredMs = kLatencyBlocks * 64 * 1000.0 / kRate;
    EXPECT_LT(delayMs, configuredMs + b.rttMicros() / 1000.0 + 100) << "far beyond the latency";
    int clean = 0;
    const size_t start = static_cast<size_t>(onset - x.begin());
    for (size_t at = start; at + kRate / 10 < x.size() && at < start + kRate; at += kRate / 10)
        clean += holdsTone(x, at);
    // A loaded machine may cost a block here and there; most tenths of the burst must be clean.
    EXPECT_GE(clean, 6) << "the tone's frequency or level is off in " << 10 - clean << " tenths";

    server.reset();
    ASSERT_TRUE(both(2)) << "waiting for the server? " << log();
    server = std::make_unique<test::ServerProcess>(port);
    ASSERT_EQ(server->port(), port) << server->errors();
    EXPECT_TRUE(both(3)) << "running again? " << log();
}

}  // namespace
}  // namespace vornisel
