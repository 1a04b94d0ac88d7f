#include "engine/telemetry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "controller_harness.h"
#include "engine/host_contract.h"

namespace vornisel {
namespace {

// Only a whole block of our own user, with the magic, the layout version and the device's
// identity, is read, with every statistic.
TEST(TelemetryTest, ReadsOnlyWholeValidBlocksOfOurOwn) {
    // The host's fault, and who then owns its statistics.
    const std::pair<const char*, uid_t> cases[] = {
        {"", ::geteuid()},
        {"bad-magic", ::geteuid()},
        {"bad-version", ::geteuid()},
        {"bad-identity", ::geteuid()},
        {"short-stats", ::geteuid()},
        {"", 65534},
    };
    EXPECT_EQ(Telemetry({{"underrun_count", 5}, {"bogus", 9}}).values(),
              (std::map<std::string, int64_t>{{"underrun_count", 5}}));
    for (const auto& [fault, owner] : cases) {
        SCOPED_TRACE(fault);
        // The row of another owner comes last.
        if (owner != ::geteuid() && ::geteuid() != 0) GTEST_SKIP() << "only root gives files away";
        test::ControllerHarness h(fault);
        const uint32_t id = h.startServing();
        const std::string object = "/dev/shm" + host::statsName(id);
        ASSERT_EQ(::chown(object.c_str(), owner, owner), 0);
        const auto snapshot = Telemetry::read(id);
        ASSERT_EQ(snapshot.has_value(), *fault == '\0' && owner == ::geteuid());
        if (!snapshot) continue;
        EXPECT_EQ((*snapshot)["client_id"], id);
        EXPECT_EQ((*snapshot)["no_such_statistic"], 0);
        EXPECT_EQ(snapshot->values().size(), host::kFieldCount);
    }
}

// The host truncates and regrows its object as fast as it can: a read that meets it shrunk gives
// nothing, never a fault or a block of zeros, however long a busy machine makes the host take.
TEST(TelemetryTest, ShrinkingObjectNeverCrashesTheReader) {
    test::ControllerHarness h("shrink-stats");
    const uint32_t id = h.startServing();
    const auto shrunk = [&] {
        const auto snapshot = Telemetry::read(id);
        EXPECT_EQ(snapshot ? (*snapshot)["client_id"] : id, id);
        return !snapshot;
    };
    EXPECT_TRUE(test::waitFor(shrunk, std::chrono::seconds(30), std::chrono::milliseconds(1)));
}

}  // namespace
}  // namespace vornisel
