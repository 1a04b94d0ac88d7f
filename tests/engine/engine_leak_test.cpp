// Starting and stopping many engines must leave nothing behind: no zombie, no descriptor, no
// socket file and no statistics object.
#include <gtest/gtest.h>

#include "controller_harness.h"

namespace vornisel {
namespace {

using test::ControllerHarness;

TEST(EngineLeakTest, TwentyRoundsOfEightEnginesLeaveNothingBehind) {
    ControllerHarness h;
    std::vector<uint32_t> ids;
    for (int i = 0; i < 8; ++i)
        ids.push_back(h.addDevice(std::to_string(i)));
    const size_t descriptors = test::openDescriptors();
    const size_t children = test::childProcesses();

    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        h.controller->toggleGroup();
        for (uint32_t id : ids)
            ASSERT_TRUE(h.rt(id)->isRunning());
        // Let every host get as far as serving, so that each stop goes through "STOP".
        ASSERT_TRUE(test::waitFor([&] {
            return std::all_of(ids.begin(), ids.end(), [](uint32_t id) {
                return test::socketExists(id) && test::statsExist(id);
            });
        }));
        h.controller->poll();
        std::optional<bool> stopped;
        h.controller->stopGroup([&](bool result) { stopped = result; });
        ASSERT_TRUE(h.until([&] { return stopped.has_value(); }));
        ASSERT_TRUE(*stopped);
    }
    // Termination handlers and poll results still queued.
    ASSERT_TRUE(h.until([&] {
        return std::none_of(ids.begin(), ids.end(), [&](uint32_t id) { return h.rt(id)->polling; });
    }));
    h.dispatch->drainMain();

    EXPECT_TRUE(test::waitFor([&] { return test::childProcesses() == children; }));
    // A log file is closed by its termination handler just after the stop has seen the end.
    EXPECT_TRUE(test::waitFor([&] { return test::openDescriptors() == descriptors; }))
        << test::openDescriptors() << " open, " << descriptors << " before";
    for (uint32_t id : ids) {
        EXPECT_FALSE(test::socketExists(id)) << id;
        EXPECT_FALSE(test::statsExist(id)) << id;
        EXPECT_EQ(h.rt(id)->value("status"), 6);
    }
}

}  // namespace
}  // namespace vornisel
