// Engine hosts that misbehave: giant, endless, reset, malformed or deeply nested replies,
// statistics that change size under the reader, a host that forks and leaves. The panel must give
// up within its time-outs, show the failure texts and never block its main queue.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include <gtest/gtest.h>

#include "engine/engine_command.h"
#include "engine/engine_controller.h"
#include "engine/host_contract.h"
#include "engine/manual_dispatch.h"
#include "engine/telemetry.h"
#include "l10n/localizer.h"
#include "model/panel_store.h"
#include "reliability_support.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string stateReply(uint32_t id, const std::string& extra = "") {
    return R"({"ok":true,"clientId":)" + std::to_string(id) + R"(,"abiVersion":5,"status":3)" +
           extra + "}";
}

// Reads the request line so the client's send never fails, then behaves as told.
void readRequest(int fd) {
    char buffer[64];
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
}

struct BrokenReply {
    const char* name;
    std::function<void(int fd, uint32_t id)> serve;
    double atMostSeconds;
};

std::vector<BrokenReply> brokenReplies() {
    return {
        {"10 MiB reply",
         [](int fd, uint32_t id) {
             readRequest(fd);
             sendAll(fd, stateReply(id, ",\"pad\":\"" + std::string(10 << 20, 'x') + "\""));
             ::close(fd);
         },
         1.5},
        {"reply that never ends",
         [](int fd, uint32_t) {
             readRequest(fd);
             const std::string chunk(65536, ' ');
             while (sendAll(fd, chunk)) {
             }
             ::close(fd);
         },
         1.5},
        {"a byte now and then, forever",
         [](int fd, uint32_t) {
             readRequest(fd);
             for (int i = 0; i < 40 && sendAll(fd, " "); ++i)
                 std::this_thread::sleep_for(200ms);
             ::close(fd);
         },
         2.6},
        {"reset in the middle of the reply",
         [](int fd, uint32_t id) {
             readRequest(fd);
             const std::string reply = stateReply(id);
             sendAll(fd, reply.substr(0, reply.size() / 2));
             std::this_thread::sleep_for(50ms);
             closeWithReset(fd);
         },
         1.5},
        {"invalid UTF-8",
         [](int fd, uint32_t id) {
             readRequest(fd);
             sendAll(fd, stateReply(id, ",\"lastErrorKey\":\"\xC3\x28\xFF\""));
             ::close(fd);
         },
         1.5},
        {"nested 100000 levels",
         [](int fd, uint32_t id) {
             readRequest(fd);
             sendAll(fd, stateReply(
                             id, ",\"x\":" + std::string(100000, '[') + std::string(100000, ']')));
             ::close(fd);
         },
         1.5},
        {"accepts and says nothing",
         [](int fd, uint32_t) {
             readRequest(fd);
             std::this_thread::sleep_for(3s);
             ::close(fd);
         },
         2.6},
        {"closes without a byte",
         [](int fd, uint32_t) {
             readRequest(fd);
             ::close(fd);
         },
         1.0},
    };
}

TEST(HostileHostTest, CommandChannelGivesUpOnBrokenReplies) {
    for (const auto& broken : brokenReplies()) {
        SCOPED_TRACE(broken.name);
        const uint32_t id = freshDeviceId();
        FakeServer server(id, [&broken, id](int fd) { broken.serve(fd, id); });
        const auto start = Clock::now();
        EXPECT_FALSE(engineCommand(id, "GET_STATE").has_value());
        EXPECT_LT(secondsSince(start), broken.atMostSeconds);
    }
}

// The guards must not refuse what a real host sends: a sound reply with some nesting passes.
TEST(HostileHostTest, CommandChannelStillAcceptsSoundReplies) {
    const uint32_t id = freshDeviceId();
    const std::string nest = std::string(60, '[') + std::string(60, ']');
    FakeServer server(id, [id, nest](int fd) {
        readRequest(fd);
        sendAll(fd, stateReply(id, ",\"deep\":" + nest + ",\"name\":\"M\xC3\xBCller\""));
        ::close(fd);
    });
    const auto reply = engineCommand(id, "GET_STATE");
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->at("name"), "M\xC3\xBCller");
}

TEST(HostileHostTest, CommandChannelGivesUpOnFaultyStandInHosts) {
    TempDir dir;
    for (const std::string fault :
         {"huge-reply", "endless-reply", "reset", "silent", "garbage", "no-reply", "not-ok"}) {
        SCOPED_TRACE(fault);
        const uint32_t id = freshDeviceId();
        auto host = startHost(id, fault, dir.path());
        ASSERT_TRUE(hostReady(id));
        for (int i = 0; i < 2; ++i) {
            const auto start = Clock::now();
            EXPECT_FALSE(engineCommand(id, "GET_STATE").has_value());
            EXPECT_LT(secondsSince(start), 2.6);
        }
        host->terminate();
        EXPECT_TRUE(host->waitForExit(Clock::now() + 10s));
    }
}

// A statistics object of our own that another thread truncates, refills and replaces as fast as
// it can while this thread reads it: every read is a whole valid block or nothing.
class ChurningStats {
public:
    explicit ChurningStats(uint32_t id) : name_(host::statsName(id)), id_(id) {
        thread_ = std::thread([this] { churn(); });
    }
    ~ChurningStats() {
        stop_ = true;
        thread_.join();
        ::shm_unlink(name_.c_str());
    }

private:
    void churn() {
        unsigned char block[host::kStatsSize] = {};
        std::memcpy(block, host::kMagic, 4);
        block[host::kVersionOffset] = host::kLayoutVersion;
        std::memcpy(block + host::kValuesOffset + 4 * host::kClientIdField, &id_, 4);
        for (int round = 0; !stop_; ++round) {
            if (round % 3 == 0) ::shm_unlink(name_.c_str());
            const int fd = ::shm_open(name_.c_str(), O_RDWR | O_CREAT, 0600);
            if (fd < 0) continue;
            ::pwrite(fd, block, sizeof block, 0);
            ::ftruncate(fd, round % 2 == 0 ? 0 : 100);
            ::ftruncate(fd, host::kStatsSize);
            ::pwrite(fd, block, sizeof block, 0);
            ::close(fd);
        }
    }
    std::string name_;
    uint32_t id_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void readWhileItChanges(uint32_t id, size_t& whole, size_t& none) {
    const auto until = Clock::now() + 1500ms;
    while (Clock::now() < until) {
        const auto snapshot = Telemetry::read(id);
        if (!snapshot) {
            ++none;
            continue;
        }
        ++whole;
        ASSERT_EQ((*snapshot)["client_id"], static_cast<int32_t>(id));
    }
}

TEST(HostileHostTest, StatisticsChangingUnderTheReaderGiveWholeSnapshotsOrNone) {
    {
        const uint32_t id = freshDeviceId();
        ChurningStats churning(id);
        size_t whole = 0, none = 0;
        readWhileItChanges(id, whole, none);
        EXPECT_GT(whole + none, 100u);
    }
    TempDir dir;
    const uint32_t id = freshDeviceId();
    auto host = startHost(id, "shrink-stats", dir.path());
    ASSERT_TRUE(hostReady(id));
    size_t whole = 0, none = 0;
    readWhileItChanges(id, whole, none);
    EXPECT_GT(whole, 0u);
    host->terminate();
    EXPECT_TRUE(host->waitForExit(Clock::now() + 10s));
}

class RecordingWindow : public WindowHooks {
public:
    void updateControls() override { ++updates; }
    void showNotice(const std::string& text, bool) override { notices.push_back(text); }
    void rebuildCards() override {}
    int updates = 0;
    std::vector<std::string> notices;
};

// A main queue that measures how long each of its jobs keeps the main thread.
class TimedDispatch : public Dispatch {
public:
    void main(std::function<void()> job) override {
        inner.main([this, job = std::move(job)] {
            const auto start = Clock::now();
            job();
            longest = std::max(longest, secondsSince(start));
        });
    }
    void utility(std::function<void()> job) override { inner.utility(std::move(job)); }
    ManualDispatch inner;
    double longest = 0;
};

struct Misbehaviour {
    std::string fault;
    std::string status;
    std::string health;
};

TEST(HostileHostTest, RuntimesShowTheFailureWhileTheMainQueueStaysFree) {
    const std::vector<Misbehaviour> cases = {
        {"silent", "status.command_unavailable_title", "status.command_timeout"},
        {"endless-reply", "status.command_unavailable_title", "status.command_timeout"},
        {"huge-reply", "status.command_unavailable_title", "status.command_timeout"},
        {"reset", "status.command_unavailable_title", "status.command_timeout"},
        {"wrong-abi", "status.command_unavailable_title", "status.command_timeout"},
        {"shrink-stats", "status.running", "status.buffer_format"},
        {"exit-after=0.3,status=3", "status.error", "status.engine_no_response"},
        {"", "status.running", "status.buffer_format"},
    };
    TempDir data;
    PanelStore store(data.path());
    std::vector<Profile> clients;
    for (size_t i = 0; i < cases.size(); ++i)
        clients.push_back(Profile{.id = freshDeviceId()});
    store.setClients(clients);
    RecordingWindow window;
    auto dispatch = std::make_shared<TimedDispatch>();
    auto controller = EngineController::create(store, dispatch, window, bundleDir());
    controller->setStopTimings({.afterStop = 0.5, .afterTerminate = 2.0, .afterKill = 2.0});
    ::setenv("VORNISEL_HOST_STARTING_MS", "0", 1);
    ::setenv("VORNISEL_HOST_WAITING_MS", "0", 1);

    double longestCall = 0;
    const auto timed = [&longestCall](const std::function<void()>& call) {
        const auto start = Clock::now();
        call();
        longestCall = std::max(longestCall, secondsSince(start));
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        ::setenv("VORNISEL_HOST_FAULT", cases[i].fault.c_str(), 1);
        timed([&] { controller->start(clients[i].id); });
    }
    ::unsetenv("VORNISEL_HOST_FAULT");
    for (size_t i = 0; i < cases.size(); ++i) {
        // The host that exits on its own may be gone before it is seen.
        if (!cases[i].fault.starts_with("exit-after")) {
            ASSERT_TRUE(hostReady(clients[i].id));
        }
    }

    // Poll once a second as the application's timer does, for long enough that every broken host
    // has failed at least one whole exchange.
    for (int tick = 0; tick < 5; ++tick) {
        timed([&] { controller->poll(); });
        dispatch->inner.runMainUntil([] { return false; }, 1000ms);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].fault);
        const auto rt = controller->runtime(clients[i].id);
        EXPECT_EQ(rt->status(), tr(cases[i].status));
        if (cases[i].health == "status.buffer_format") {
            EXPECT_EQ(rt->health(), tr(cases[i].health, 48000, 64));
        } else {
            EXPECT_EQ(rt->health(), tr(cases[i].health));
        }
    }

    bool stopped = false;
    timed([&] { controller->stopGroup([&stopped](bool) { stopped = true; }); });
    EXPECT_TRUE(dispatch->inner.runMainUntil([&] { return stopped; }, 60s));
    for (const auto& client : clients)
        EXPECT_FALSE(controller->runtime(client.id)->isRunning());
    // Blocking would cost a whole socket time-out (1 s); a free main thread answers in
    // milliseconds, even under the sanitizers on a busy machine.
    EXPECT_LT(longestCall, 0.25);
    EXPECT_LT(dispatch->longest, 0.25);
}

// An engine host that daemonises: its first process exits 0 at once and a child of it serves on.
TEST(HostileHostTest, HostThatForksAndExitsLeavesAStoppedDevice) {
    TempDir bundle;
    const fs::path program = bundle / std::string(host::kRelativePath);
    fs::create_directories(program.parent_path());
    const fs::path pidFile = bundle / "served-by";
    writeFile(program, "#!/bin/sh\n\"" + engineHostPath().string() + "\" \"$@\" &\necho $! > \"" +
                           pidFile.string() + ".part\"\nmv \"" + pidFile.string() + ".part\" \"" +
                           pidFile.string() + "\"\nexit 0\n");
    fs::permissions(program, fs::perms::owner_all);

    TempDir data;
    PanelStore store(data.path());
    const uint32_t id = freshDeviceId();
    store.setClients({Profile{.id = id}});
    RecordingWindow window;
    auto dispatch = std::make_shared<TimedDispatch>();
    auto controller = EngineController::create(store, dispatch, window, bundle.path());
    controller->start(id);
    ASSERT_TRUE(waitFor([&] { return fs::exists(pidFile); }, 10s));
    const pid_t daemon = std::stoi(readFile(pidFile));
    const auto rt = controller->runtime(id);
    ASSERT_TRUE(dispatch->inner.runMainUntil([&] { return !rt->isRunning(); }, 10s));
    dispatch->inner.drainMain();
    EXPECT_EQ(rt->status(), tr("status.stopped"));
    EXPECT_EQ(rt->health(), tr("status.ready"));
    controller->poll();
    EXPECT_FALSE(rt->polling) << "an ended task is not polled";
    bool stopped = false;
    controller->stop(id, [&stopped](bool done) { stopped = done; });
    EXPECT_TRUE(stopped) << "nothing of ours is left running";
    EXPECT_LT(dispatch->longest, 0.25);

    ::kill(daemon, SIGTERM);
    EXPECT_TRUE(waitFor([id] { return !socketFileExists(id); }, 10s));
}

}  // namespace
}  // namespace vornisel::test
