// The socket path and the statistics name are predictable and live in namespaces every local
// user shares. Objects planted there by another user must be ignored by the panel and left alone
// by the engine host. The other user is nobody; switching to it needs root.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

#include "engine/engine_command.h"
#include "engine/host_contract.h"
#include "engine/telemetry.h"
#include "reliability_support.h"

namespace vornisel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class OtherUserTest : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
        id_ = freshDeviceId();
        socket_ = host::socketPath(id_);
        stats_ = host::statsName(id_);
    }
    void TearDown() override {
        if (socket_.empty()) return;
        ::unlink(socket_.c_str());
        ::shm_unlink(stats_.c_str());
    }

    // Binds the device's socket path; the caller listens or just leaves the file behind.
    static int bindPath(const char* path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return -1;
        return fd;
    }

    static bool writeBlock(const char* name, uint32_t id) {
        const int fd = ::shm_open(name, O_RDWR | O_CREAT | O_EXCL, 0644);
        if (fd < 0) return false;
        unsigned char block[host::kStatsSize] = {};
        std::memcpy(block, host::kMagic, 4);
        block[host::kVersionOffset] = host::kLayoutVersion;
        std::memcpy(block + host::kValuesOffset + 4 * host::kClientIdField, &id, 4);
        const bool written = ::pwrite(fd, block, sizeof block, 0) == sizeof block;
        ::close(fd);
        return written;
    }

    static uid_t ownerOf(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? info.st_uid : static_cast<uid_t>(-1);
    }

    uint32_t id_ = 0;
    std::string socket_;
    std::string stats_;
};

TEST_F(OtherUserTest, ReplyFromAnotherUsersProcessIsNotBelieved) {
    const char* path = socket_.c_str();
    const std::string reply = R"({"ok":true,"clientId":)" + std::to_string(id_) +
                              R"(,"abiVersion":5,"status":3,"health":1})";
    const pid_t impostor = spawnAsNobody([path, &reply] {
        const int fd = bindPath(path);
        if (fd < 0 || ::listen(fd, 4) != 0) return 1;
        const int connection = ::accept(fd, nullptr, nullptr);
        char buffer[64];
        while (::recv(connection, buffer, sizeof buffer, 0) > 0) {
        }
        ::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(connection);
        return 0;
    });
    ASSERT_TRUE(waitFor([this] { return socketFileExists(id_); }));
    ASSERT_EQ(ownerOf(socket_), kNobody);
    const auto start = Clock::now();
    EXPECT_FALSE(engineCommand(id_, "GET_STATE").has_value());
    EXPECT_LT(secondsSince(start), 1.0) << "refused at once, not after a time-out";
    EXPECT_EQ(reap(impostor), 0);

    // The same reply from a server of our own is taken.
    ::unlink(path);
    FakeServer ours(id_, [&reply](int fd) {
        char buffer[64];
        while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
        sendAll(fd, reply);
        ::close(fd);
    });
    EXPECT_TRUE(engineCommand(id_, "GET_STATE").has_value());
}

TEST_F(OtherUserTest, StatisticsOfAnotherUserAreNotRead) {
    const char* name = stats_.c_str();
    const uint32_t id = id_;
    ASSERT_EQ(runAsNobody([name, id] { return writeBlock(name, id) ? 0 : 1; }), 0);
    ASSERT_EQ(ownerOf("/dev/shm" + stats_), kNobody);
    EXPECT_FALSE(Telemetry::read(id_).has_value());

    ::shm_unlink(name);
    ASSERT_TRUE(writeBlock(name, id));
    const auto snapshot = Telemetry::read(id_);
    ASSERT_TRUE(snapshot.has_value()) << "the same block of our own is read";
    EXPECT_EQ((*snapshot)["client_id"], static_cast<int32_t>(id)) << "a signed 32-bit statistic";
}

// The host must neither remove nor take over a socket file another user made, whether it is a
// stale socket, a live one or no socket at all; it refuses to run instead (status 1).
TEST_F(OtherUserTest, HostLeavesAnotherUsersSocketFileAlone) {
    TempDir dir;
    const char* path = socket_.c_str();
    struct Planted {
        const char* name;
        std::function<int()> plant;
        bool keepsRunning;
    };
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const std::vector<Planted> plants = {
        {"stale socket", [path] { return bindPath(path) >= 0 ? 0 : 1; }, false},
        {"plain file",
         [path] {
             const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
             return fd >= 0 ? 0 : 1;
         },
         false},
        {"live socket",
         [path, &ready] {
             const int fd = bindPath(path);
             if (fd < 0 || ::listen(fd, 4) != 0) return 1;
             ::write(ready[1], "r", 1);
             ::pause();
             return 0;
         },
         true},
    };
    for (const auto& planted : plants) {
        SCOPED_TRACE(planted.name);
        ::unlink(path);
        pid_t planter = 0;
        if (planted.keepsRunning) {
            planter = spawnAsNobody(planted.plant);
            char byte = 0;
            ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        } else {
            ASSERT_EQ(runAsNobody(planted.plant), 0);
        }
        struct stat before {};
        ASSERT_EQ(::lstat(path, &before), 0);
        ASSERT_EQ(before.st_uid, kNobody);

        auto host = startHost(id_, "", dir.path());
        ASSERT_TRUE(host->waitForExit(Clock::now() + 10s));
        EXPECT_EQ(host->terminationStatus(), 1);
        struct stat after {};
        ASSERT_EQ(::lstat(path, &after), 0) << "the file is still there";
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, kNobody);
        EXPECT_FALSE(statsObjectExists(id_)) << "the refusing host leaves nothing behind";
        if (planter > 0) {
            ::kill(planter, SIGKILL);
            reap(planter);
        }
    }
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(OtherUserTest, HostLeavesAnotherUsersStatisticsObjectAlone) {
    TempDir dir;
    const char* name = stats_.c_str();
    const uint32_t id = id_;
    ASSERT_EQ(runAsNobody([name, id] { return writeBlock(name, id) ? 0 : 1; }), 0);
    auto host = startHost(id_, "", dir.path());
    ASSERT_TRUE(host->waitForExit(Clock::now() + 10s));
    EXPECT_EQ(host->terminationStatus(), 1);
    EXPECT_EQ(ownerOf("/dev/shm" + stats_), kNobody) << "the object is still the other user's";
    EXPECT_FALSE(socketFileExists(id_)) << "the refusing host leaves no socket behind";
}

}  // namespace
}  // namespace vornisel::test
