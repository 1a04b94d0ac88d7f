#include "hardware/device_candidate.h"

#include <gtest/gtest.h>

#include "support/scoped_locale.h"

namespace vornisel {
namespace {

struct CandidateCase {
    const char* what;
    DeviceCandidate candidate;
    std::optional<Device> expected;
};

TEST(DeviceCandidateTest, KeepsOnlyDevicesThatCanServe) {
    const std::vector<CandidateCase> cases = {
        {"empty uid", {"", "Nameless", {2}, {2}}, std::nullopt},
        {"own device, mixed case inside",
         {"hw:CARD=MyVorNiSeLBox,DEV=0", "x", {2}, {2}},
         std::nullopt},
        {"own device, upper case at end", {"loopVORNISEL", "x", {0}, {2}}, std::nullopt},
        {"near miss stays", {"vornise_l", "x", {1}, {0}}, Device{"vornise_l", "x", 1, 0}},
        {"zero-channel streams", {"silent", "Silent", {0, 0}, {0}}, std::nullopt},
        {"input only", {"mic", "Mic", {1}, {}}, Device{"mic", "Mic", 1, 0}},
        {"streams add up", {"multi", "Multi", {1, 1}, {2, 6}}, Device{"multi", "Multi", 2, 8}},
        {"negative counts ignored", {"odd", "Odd", {-4, 2}, {-1}}, Device{"odd", "Odd", 2, 0}},
    };
    // Own devices are told by ASCII case folding, also where "I" does not lower to "i".
    for (const char* name : {"C", "tr_TR.UTF-8"}) {
        test::ScopedLocale locale(name);
        if (!locale) GTEST_SKIP() << name << " is not installed";
        for (const auto& c : cases) {
            EXPECT_EQ(serviceableDevice(c.candidate), c.expected) << c.what << ", " << name;
        }
    }
}

TEST(DeviceCandidateTest, KeepsTheBackendsOrderAndTurnsFailureIntoAnEmptyList) {
    const std::vector<DeviceCandidate> listed = {
        {"z", "Z", {2}, {2}}, {"Vornisel", "V", {2}, {2}}, {"a", "A", {}, {2}}, {"m", "M", {}, {}}};
    EXPECT_EQ(serviceableDevices(listed),
              (std::vector<Device>{{"z", "Z", 2, 2}, {"a", "A", 0, 2}}));
    EXPECT_TRUE(serviceableDevices(std::nullopt).empty());
    EXPECT_TRUE(serviceableDevices(std::vector<DeviceCandidate>{}).empty());
}

}  // namespace
}  // namespace vornisel
