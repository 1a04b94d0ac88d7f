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
    EXPECT_EQ(Telemetry({{"underrun_count", 5}, {"bogus", 9}}).values(),
              (std::map<std::string, int64_t>{{"underrun_count", 5}}));
    // The host's fault. Another user's object is a row of tests/reliability's hostile files.
    // Values outside their meaning are absent, not shown as "Drops -2147483648".
    for (const char* fault :
         {"", "negative-stats", "bad-magic", "bad-version", "bad-identity", "short-stats"}) {
        SCOPED_TRACE(fault);
        const bool garbage = std::string_view(fault) == "negative-stats";
        test::ControllerHarness h(fault);
        const uint32_t id = h.startServing();
        const auto snapshot = Telemetry::read(id);
        ASSERT_EQ(snapshot.has_value(), *fault == '\0' || garbage);
        if (!snapshot) continue;
        EXPECT_EQ((*snapshot)["client_id"], id);
        EXPECT_EQ((*snapshot)["no_such_statistic"], 0);
        EXPECT_EQ(snapshot->has("underrun_count"), !garbage);
        EXPECT_EQ(snapshot->values().size() == host::kFieldCount, !garbage);
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
