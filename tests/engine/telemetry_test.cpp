#include "engine/telemetry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "controller_harness.h"
#include "engine/host_contract.h"

namespace vornisel {
namespace {

using Bytes = std::vector<unsigned char>;

void put(Bytes& block, size_t field, uint32_t value) {
    std::memcpy(block.data() + host::kValuesOffset + 4 * field, &value, 4);
}

// Publishes `block` as the statistics of `id`, owned by `owner`.
void publish(uint32_t id, const Bytes& block, uid_t owner) {
    const int fd = ::shm_open(host::statsName(id).c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
    ASSERT_EQ(::fchown(fd, owner, owner), 0);
    ::close(fd);
}

// Only a whole block of our own user, with the magic, the layout version and the device's
// identity, is read; its values are signed 32-bit numbers in field order.
TEST(TelemetryTest, ReadsOnlyWholeValidBlocksOfOurOwn) {
    const auto nothing = [](Bytes&, uint32_t) {};
    const std::tuple<std::string, std::function<void(Bytes&, uint32_t)>, uid_t> cases[] = {
        {"valid", nothing, ::geteuid()},
        {"magic", [](Bytes& b, uint32_t) { b[3] = 'X'; }, ::geteuid()},
        {"version", [](Bytes& b, uint32_t) { --b[host::kVersionOffset]; }, ::geteuid()},
        {"identity", [](Bytes& b, uint32_t id) { put(b, host::kClientIdField, id + 1); },
         ::geteuid()},
        {"one byte short", [](Bytes& b, uint32_t) { b.pop_back(); }, ::geteuid()},
        {"another user's", nothing, 65534},
    };
    for (const auto& [name, spoil, owner] : cases) {
        SCOPED_TRACE(name);
        if (owner != ::geteuid() && ::geteuid() != 0) continue;  // only root can give it away
        const uint32_t id = test::uniqueId();
        Bytes block(host::kStatsSize, 0);
        std::memcpy(block.data(), host::kMagic, sizeof host::kMagic);
        std::memcpy(block.data() + host::kVersionOffset, &host::kLayoutVersion, 4);
        put(block, host::kClientIdField, id);
        put(block, 0, 3);                           // "status", the first field
        put(block, 66, 77);                         // the last
        put(block, 57, static_cast<uint32_t>(-1));  // "underrun_count"
        spoil(block, id);
        publish(id, block, owner);
        const auto snapshot = Telemetry::read(id);
        ::shm_unlink(host::statsName(id).c_str());
        ASSERT_EQ(snapshot.has_value(), name == "valid");
        if (!snapshot) continue;
        EXPECT_EQ((*snapshot)["status"], 3);
        EXPECT_EQ((*snapshot)["output_server_to_consume_max_microseconds"], 77);
        EXPECT_EQ((*snapshot)["underrun_count"], -1);
        EXPECT_EQ((*snapshot)["client_id"], id);
        EXPECT_EQ((*snapshot)["no_such_statistic"], 0);
        EXPECT_EQ(snapshot->values().size(), host::kFieldCount);
    }
    EXPECT_FALSE(Telemetry::read(test::uniqueId()));
    EXPECT_EQ(Telemetry({{"underrun_count", 5}, {"bogus", 9}}).values(),
              (std::map<std::string, int64_t>{{"underrun_count", 5}}));
}

// The host truncates and regrows its object as fast as it can; reading must never fault.
TEST(TelemetryTest, ShrinkingObjectNeverCrashesTheReader) {
    test::ControllerHarness h("shrink-stats");
    const uint32_t id = h.startServing();
    // Read until a read meets the object shrunk, however long a busy machine makes the host take.
    EXPECT_TRUE(test::waitFor(
        [&] {
            const auto snapshot = Telemetry::read(id);
            if (snapshot) {
                EXPECT_EQ((*snapshot)["client_id"], id);
            }
            return !snapshot;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(1)));
}

}  // namespace
}  // namespace vornisel
