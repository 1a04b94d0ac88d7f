#include "model/profile.h"

#include <gtest/gtest.h>

namespace vornisel {
namespace {

TEST(ProfileTest, ChannelListTrimsSkipsAndKeepsOrder) {
    const std::map<std::string, std::vector<int>> cases = {
        {" 3, 1,,x, +2 ,-1", {3, 1, 2, -1}},
        {"\u00A06\u3000,\u20007\u200A", {6, 7}},  // Unicode spaces are blanks too
        {"1 2,3", {3}},                           // inner space does not parse
        {"2147483647,2147483648,-2147483648", {2147483647, -2147483648}},
    };
    for (const auto& [text, channels] : cases)
        EXPECT_EQ(channelList(text), channels) << '"' << text << '"';
}

TEST(ProfileTest, BlocksFollowModeTableThenLatencyTextWithClampAndFallback) {
    // Mode, latency text, blocks; modes are told apart by case.
    const std::vector<std::tuple<std::string, std::string, int>> cases = {
        {"Low", "100", 1},
        {"Stable", "100", 2},
        {"Safe", "100", 4},
        {"Custom", "9", 9},
        {"Custom", "0", 1},
        {"", "500", 128},
        {"safe", "abc", 6},
        {"", "9223372036854775807", 128},
        {"", "-9223372036854775808", 1},
    };
    for (const auto& [mode, latency, blocks] : cases)
        EXPECT_EQ((Profile{.latency = latency, .latencyMode = mode}.blocks()), blocks)
            << mode << latency;
}

TEST(ProfileTest, RoutesPairPositionsAndAreWrittenBackSortedByHardwareChannel) {
    struct Case {
        std::string map, driver;  // hardware and driver channel lists
        std::map<int, int> routes;
        std::string sortedMap, sortedDriver;  // the lists setting the routes writes
    };
    const std::vector<Case> cases = {
        {"0,1,2", "5,6", {{0, 5}, {1, 6}}, "0,1", "5,6"},
        {"1,1", "3,4", {{1, 4}}, "1", "4"},  // a repeated hardware channel keeps its later pair
        {"2, x,-1", "7,8", {{2, 7}, {-1, 8}}, "-1,2", "8,7"},
    };
    for (const auto& [map, driver, routes, sortedMap, sortedDriver] : cases) {
        Profile profile{.driverOutputs = driver, .outputMap = map, .inputMap = "9"};
        EXPECT_EQ(profile.routes(false), routes) << map << " / " << driver;
        profile.setRoutes(true, profile.routes(false));
        EXPECT_EQ(profile.inputMap, sortedMap);
        EXPECT_EQ(profile.driverInputs, sortedDriver);
        profile.setRoutes(false, {});
        EXPECT_EQ(profile.outputMap + profile.driverOutputs, "");
        EXPECT_EQ(profile.routes(true), routes);
    }
}

}  // namespace
}  // namespace vornisel
