// The real engine host, on ALSA's "null" device, against a stand-in server on loopback that the
// test makes answer, fall silent or talk nonsense.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "engine/engine_command.h"
#include "engine/host_contract.h"
#include "engine/process.h"
#include "engine/telemetry.h"
#include "engine_host/stand_in_server.h"
#include "support/temp_dir.h"

namespace vornisel::enginehost {
namespace {

using namespace std::chrono_literals;

// One engine host process on `device`, two outputs and one input routed.
class Host {
public:
    Host(const std::string& device, int port, const std::string& server = "127.0.0.1",
         const std::string& driverInput = "0")
        : id_(0x50000000u + static_cast<uint32_t>(::getpid()) % 100000 * 10 + next_++) {
        ::unsetenv("VORNISEL_HOST_SIMULATE");
        const auto config = dir_ / "engine.ini";
        test::writeFile(config, "[network]\nserver_ip=" + server + "\nserver_port=" +
                                    std::to_string(port) + "\nclient_id=" + std::to_string(id_) +
                                    "\n[latency]\nclient_latency_blocks=2\nlatency_mode=Custom\n"
                                    "[vornisel]\ndriver_outputs=0,1\ndriver_inputs=" +
                                    driverInput + "\n[coreaudio]\ndevice_uid=" + device +
                                    "\noutput_map=0,1\ninput_map=0\n");
        process_ = Process::create(test::engineHostPath(),
                                   {"--config", config.string(), "--client-id", std::to_string(id_),
                                    "--parent-pid", std::to_string(getpid())});
        const int log = ::open((dir_ / "engine.log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        process_->setStandardOutput(log);
        process_->setStandardError(log);
        process_->launch();
        ::close(log);
    }
    ~Host() {
        process_->signal(SIGTERM);
        process_->waitForExit(std::chrono::steady_clock::now() + 10s);
    }
    std::string log() const { return test::readFile(dir_ / "engine.log"); }

    // Waits for a "GET_STATE" reply that satisfies `condition`; the last reply either way.
    nlohmann::ordered_json waitForState(
        const std::function<bool(const nlohmann::ordered_json&)>& condition) const {
        nlohmann::ordered_json last;
        test::waitFor(
            [&] {
                auto reply = engineCommand(id_, std::string(host::kGetState));
                if (reply) last = *reply;
                return reply && condition(*reply);
            },
            15s, 50ms);
        return last;
    }
    int64_t statistic(const char* name) const {
        auto telemetry = Telemetry::read(id_);
        return telemetry ? (*telemetry)[name] : -1;
    }

private:
    static inline std::atomic<uint32_t> next_{0};
    test::TempDir dir_;
    uint32_t id_;
    std::shared_ptr<Process> process_;
};

auto hasStatus(int status) {
    return [status](const nlohmann::ordered_json& s) { return s.value("status", -1) == status; };
}

TEST(EngineTest, RunsOnlyWhileTheServerStreamsBack) {
    StandInServer server;
    // Twelve driver channels: a block is too wide for one datagram and goes in two.
    Host host("null", server.port(), "127.0.0.1", "11");
    auto state = host.waitForState(hasStatus(3));
    ASSERT_EQ(state.value("status", -1), 3) << state.dump() << host.log();
    EXPECT_EQ(state.value("health", -1), 1);
    EXPECT_EQ(state.value("sampleRate", 0), 48000);
    // The server's half-scale blocks reach both hardware outputs.
    state = host.waitForState([](const auto& s) {
        return s["outputLevels"].size() == 2 && s["outputLevels"][1].value("peakMilli", 0) == 500;
    });
    EXPECT_EQ(state["outputLevels"][0].value("peakMilli", 0), 500) << state.dump();
    EXPECT_TRUE(test::waitFor([&] { return host.statistic("asio_callbacks_per_sec") > 0; }, 5s));
    // A device that never makes the engine wait runs at real time: 750 blocks a second, not as
    // fast as the processor goes.
    EXPECT_GT(host.statistic("asio_callbacks_per_sec"), 300);
    EXPECT_LT(host.statistic("asio_callbacks_per_sec"), 1500);
    EXPECT_GT(host.statistic("net_time_probe_response_count"), 0);
    EXPECT_GT(host.statistic("net_time_probe_p50_rtt_microseconds"), 0);
    EXPECT_GT(host.statistic("net_sync_age_sample_count"), 0);
    EXPECT_EQ(host.statistic("asio_queue_target_frames"), host.statistic("block_frames") * 2);

    server.setMode(StandInServer::Mode::garbage);
    state = host.waitForState(hasStatus(2));
    EXPECT_EQ(state.value("healthReason", 0), 1) << state.dump();
    const int64_t answered = host.statistic("net_time_probe_response_count");
    const int sent = server.garbageSent();
    ASSERT_TRUE(test::waitFor([&] { return server.garbageSent() > sent + 20; }, 10s));
    EXPECT_EQ(host.statistic("net_time_probe_response_count"), answered);
    EXPECT_EQ(host.waitForState([](auto&) { return true; }).value("status", -1), 2);

    // Probes that only got garbage back time out.
    EXPECT_TRUE(
        test::waitFor([&] { return host.statistic("net_time_probe_timeout_count") > 0; }, 10s));
    server.setMode(StandInServer::Mode::answer);
    EXPECT_EQ(host.waitForState(hasStatus(3)).value("status", -1), 3) << host.log();
}

TEST(EngineTest, FindsAnAutomaticServerByDiscovery) {
    StandInServer server;
    // Asked on loopback only; where no Avahi daemon runs, the datagram is the only way.
    ::setenv("VORNISEL_HOST_DISCOVERY_ADDRESS",
             ("127.0.0.1:" + std::to_string(server.port())).c_str(), 1);
    Host host("null", 0, "auto");
    const auto state = host.waitForState(hasStatus(3));
    ::unsetenv("VORNISEL_HOST_DISCOVERY_ADDRESS");
    EXPECT_EQ(state.value("status", -1), 3) << state.dump() << host.log();
    EXPECT_EQ(state.value("serverAddress", ""), "127.0.0.1:" + std::to_string(server.port()));
}

TEST(EngineTest, ReportsADeviceItCannotRunAsAnError) {
    struct Row {
        const char* device;
        const char* driverInput;  // its number + 1 is the stream's width
        const char* logged;
    };
    for (const Row& row : {Row{"vornisel_test_no_such_device", "0", "vornisel_test_no_such_device"},
                           // A datagram carries 32 channels at most.
                           Row{"null", "32", "wider than the 32"}}) {
        SCOPED_TRACE(row.logged);
        StandInServer server;
        Host host(row.device, server.port(), "127.0.0.1", row.driverInput);
        auto state = host.waitForState(hasStatus(7));
        EXPECT_EQ(state.value("status", -1), 7) << state.dump();
        EXPECT_EQ(state.value("lastErrorKey", ""), "status.device_unavailable");
        EXPECT_NE(host.statistic("last_error_code"), 0);
        EXPECT_NE(host.log().find(row.logged), std::string::npos) << host.log();
    }
}

}  // namespace
}  // namespace vornisel::enginehost
