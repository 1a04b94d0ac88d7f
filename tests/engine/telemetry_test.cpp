#include "engine/telemetry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "engine/host_contract.h"
#include "host_harness.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

// A statistics block written by the test itself, removed afterwards.
class Block {
public:
    explicit Block(uint32_t id) : id_(id) {
        bytes.assign(host::kStatsSize, 0);
        std::memcpy(bytes.data(), "VENG", 4);
        putU32(4, 6);
        putValue(host::kClientIdField, static_cast<int32_t>(id));
    }
    ~Block() { ::shm_unlink(host::statsName(id_).c_str()); }

    void putU32(size_t offset, uint32_t value) { std::memcpy(bytes.data() + offset, &value, 4); }
    void putValue(size_t field, int32_t value) {
        std::memcpy(bytes.data() + host::kValuesOffset + 4 * field, &value, 4);
    }
    void publish() {
        const int fd = ::shm_open(host::statsName(id_).c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }

    std::vector<unsigned char> bytes;

private:
    uint32_t id_;
};

TEST(TelemetryTest, FieldsAreTheSixtySevenNamesInBlockOrder) {
    const auto& fields = Telemetry::fields();
    ASSERT_EQ(fields.size(), 67u);
    EXPECT_EQ(fields[0], "status");
    EXPECT_EQ(fields[2], "client_id");
    EXPECT_EQ(fields[57], "underrun_count");
    EXPECT_EQ(fields[66], "output_server_to_consume_max_microseconds");
}

TEST(TelemetryTest, ReadsValuesAtTheirOffsetsWithSign) {
    const uint32_t id = test::uniqueId();
    Block block(id);
    block.putValue(0, 3);    // offset 8
    block.putValue(66, 77);  // offset 272
    block.putValue(57, -1);
    block.publish();
    const auto snapshot = Telemetry::read(id);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ((*snapshot)["status"], 3);
    EXPECT_EQ((*snapshot)["output_server_to_consume_max_microseconds"], 77);
    EXPECT_EQ((*snapshot)["underrun_count"], -1);
    EXPECT_EQ((*snapshot)["client_id"], id);
    EXPECT_EQ((*snapshot)["no_such_statistic"], 0);
    EXPECT_EQ(snapshot->values().size(), 67u);
}

TEST(TelemetryTest, InvalidBlocksGiveNothing) {
    struct Case {
        const char* name;
        std::function<void(Block&, uint32_t)> spoil;
    };
    const Case cases[] = {
        {"valid", [](Block&, uint32_t) {}},
        {"magic", [](Block& b, uint32_t) { b.bytes[3] = 'X'; }},
        {"version 5", [](Block& b, uint32_t) { b.putU32(4, 5); }},
        {"identity", [](Block& b, uint32_t id) { b.putValue(2, static_cast<int32_t>(id + 1)); }},
        {"287 bytes", [](Block& b, uint32_t) { b.bytes.pop_back(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t id = test::uniqueId();
        Block block(id);
        c.spoil(block, id);
        block.publish();
        EXPECT_EQ(Telemetry::read(id).has_value(), std::string(c.name) == "valid");
    }
    EXPECT_FALSE(Telemetry::read(test::uniqueId()));
}

TEST(TelemetryTest, RealHostPublishesItsIdentityAndFaultyOnesAreRejected) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {"bad-magic", false},
        {"bad-version", false},
        {"bad-identity", false},
        {"short-stats", false},
    };
    for (const auto& [fault, valid] : cases) {
        SCOPED_TRACE(fault);
        test::HostRun host(test::uniqueId(), fault);
        ASSERT_TRUE(host.ready());
        const auto snapshot = Telemetry::read(host.id());
        ASSERT_EQ(snapshot.has_value(), valid);
        if (valid) {
            EXPECT_EQ((*snapshot)["client_id"], host.id());
        }
    }
}

// The host truncates and regrows its object as fast as it can; reading must never fault.
TEST(TelemetryTest, ShrinkingObjectNeverCrashesTheReader) {
    test::HostRun host(test::uniqueId(), "shrink-stats");
    ASSERT_TRUE(host.ready());
    // Read until a read meets the object shrunk, however long a busy machine makes the host take.
    EXPECT_TRUE(test::waitFor(
        [&] {
            const auto snapshot = Telemetry::read(host.id());
            if (snapshot) {
                EXPECT_EQ((*snapshot)["client_id"], host.id());
            }
            return !snapshot;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(1)));
}

TEST(TelemetryTest, ObjectOfAnotherUserIsNotBelieved) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to create an object as another user";
    const uint32_t id = test::uniqueId();
    Block block(id);
    block.publish();
    ASSERT_TRUE(Telemetry::read(id));
    ASSERT_EQ(::chown(("/dev/shm" + host::statsName(id)).c_str(), 65534, 65534), 0);
    EXPECT_FALSE(Telemetry::read(id));
}

TEST(TelemetryTest, ValuesConstructorKeepsOnlyStatistics) {
    const Telemetry snapshot({{"underrun_count", 5}, {"bogus", 9}});
    EXPECT_EQ(snapshot["underrun_count"], 5);
    EXPECT_EQ(snapshot["bogus"], 0);
    EXPECT_EQ(snapshot.values().size(), 1u);
    EXPECT_TRUE(Telemetry().empty());
}

TEST(TelemetryTest, MinuteOfEightDevicesFitsHalfAMebibyte) {
    EXPECT_LT(sizeof(Telemetry) * 60 * 8, 512u * 1024u);
}

}  // namespace
}  // namespace vornisel
