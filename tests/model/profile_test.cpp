#include "model/profile.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "model/decode_error.h"

namespace vornisel {
namespace {

using Json = nlohmann::ordered_json;

TEST(ProfileTest, ChannelListTrimsSkipsAndKeepsOrder) {
    struct Case {
        std::string text;
        std::vector<int> channels;
    };
    const std::vector<Case> cases = {
        {" 3, 1,,x, +2 ,-1", {3, 1, 2, -1}},
        {"", {}},
        {",,,", {}},
        {"0,1,4", {0, 1, 4}},
        {"\t5\t", {5}},
        {"\u00A06\u3000,\u20037", {6, 7}},  // Unicode spaces are blanks too
        {"4,4", {4, 4}},
        {"1\n,2", {2}},                   // line breaks are not trimmed
        {"1 2,3", {3}},                   // inner space does not parse
        {"+-1,--2,+,-", {}},              // at most one sign, then digits
        {"99999999999999999999,7", {7}},  // overflow is unreadable
        {"2147483647", {2147483647}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(channelList(c.text), c.channels) << '"' << c.text << '"';
}

TEST(ProfileTest, BlocksFollowModeTableThenLatencyTextWithClampAndFallback) {
    struct Case {
        std::optional<std::string> mode;
        std::string latency;
        int blocks;
    };
    const std::vector<Case> cases = {
        {"Low", "100", 1},
        {"Stable", "100", 2},
        {"Safe", "100", 4},
        {"Custom", "9", 9},
        {std::nullopt, "100", 100},
        {std::nullopt, "0", 1},
        {std::nullopt, "-5", 1},
        {std::nullopt, "500", 128},
        {std::nullopt, "", 6},
        {std::nullopt, "abc", 6},
        {std::nullopt, "+7", 7},
        {std::nullopt, " 5", 6},
        {"safe", "10", 10},
        {"SAFE", "", 6},
        {"Other", "3", 3},
        {std::nullopt, "2", 2},
        {std::nullopt, "99999999999999999999", 6},
    };
    for (const auto& c : cases) {
        Profile profile{.id = 1, .latency = c.latency, .latencyMode = c.mode};
        EXPECT_EQ(profile.blocks(), c.blocks) << c.mode.value_or("<absent>") << " / " << c.latency;
    }
    EXPECT_EQ(Profile{}.blocks(), 2);  // the field default reads as two blocks
}

TEST(ProfileTest, RoutesPairPositionsAndLaterDuplicateWins) {
    struct Case {
        std::string map, driver;
        std::map<int, int> routes;
    };
    const std::vector<Case> cases = {
        {"0,1,2", "5,6", {{0, 5}, {1, 6}}},
        {"1,1", "3,4", {{1, 4}}},
        {"0", "1,2,3", {{0, 1}}},
        {"", "1", {}},
        {"2, x,0", "7,8", {{2, 7}, {0, 8}}},
    };
    for (const auto& c : cases) {
        Profile output{.driverOutputs = c.driver, .outputMap = c.map};
        EXPECT_EQ(output.routes(false), c.routes) << c.map << " / " << c.driver;
        EXPECT_TRUE(output.routes(true).empty());
        Profile input{.driverInputs = c.driver, .inputMap = c.map};
        EXPECT_EQ(input.routes(true), c.routes);
    }
}

TEST(ProfileTest, SetRoutesWritesOneDirectionSortedByHardwareChannel) {
    Profile profile{
        .driverOutputs = "9", .outputMap = "9", .driverInputs = "1 ,2", .inputMap = "3,4"};
    profile.setRoutes(false, {{3, 0}, {1, 2}});
    EXPECT_EQ(profile.outputMap, "1,3");
    EXPECT_EQ(profile.driverOutputs, "2,0");
    EXPECT_EQ(profile.driverInputs, "1 ,2");
    EXPECT_EQ(profile.inputMap, "3,4");

    profile.setRoutes(true, {});
    EXPECT_EQ(profile.inputMap, "");
    EXPECT_EQ(profile.driverInputs, "");
    EXPECT_EQ(profile.outputMap, "1,3");

    // Re-setting the routes normalises hand-edited lists.
    Profile messy{.driverOutputs = "5, 6,x,7,8", .outputMap = "2,1,2"};
    messy.setRoutes(false, messy.routes(false));
    EXPECT_EQ(messy.outputMap, "1,2");
    EXPECT_EQ(messy.driverOutputs, "6,7");
    const std::map<int, int> negative = {{-1, 3}, {0, -2}};
    messy.setRoutes(false, negative);
    EXPECT_EQ(messy.outputMap, "-1,0");
    EXPECT_EQ(messy.routes(false), negative);
}

TEST(ProfileTest, JsonKeepsFieldOrderAndOmitsAbsentMode) {
    Profile profile{.id = 4294967295u, .name = "Desk", .latencyMode = "Stable"};
    EXPECT_EQ(encodeProfile(profile).dump(),
              R"({"id":4294967295,"name":"Desk","server":"auto","port":"28010","device":"",)"
              R"("latency":"2","driverOutputs":"","outputMap":"","driverInputs":"","inputMap":"",)"
              R"("latencyMode":"Stable"})");
    profile.latencyMode.reset();
    const Json encoded = encodeProfile(profile);
    EXPECT_FALSE(encoded.contains("latencyMode"));
    EXPECT_EQ(decodeProfile(encoded, "f", "p"), profile);
}

TEST(ProfileTest, DecodingIsStrictAndNamesTheMember) {
    const Json valid = encodeProfile(Profile{.id = 7, .name = "A", .latencyMode = "Low"});
    struct Case {
        std::function<void(Json&)> change;
        std::string error;  // empty: decodes
    };
    const std::vector<Case> cases = {
        {[](Json& j) { j.erase("driverInputs"); },
         "panel.json: clients[2].driverInputs is missing"},
        {[](Json& j) { j["port"] = 28010; },
         "panel.json: clients[2].port must be a string, not a number"},
        {[](Json& j) { j["name"] = nullptr; },
         "panel.json: clients[2].name must be a string, not null"},
        {[](Json& j) { j["id"] = -1; },
         "panel.json: clients[2].id must be a whole number from 0 to 4294967295"},
        {[](Json& j) { j["id"] = 4294967296LL; },
         "panel.json: clients[2].id must be a whole number from 0 to 4294967295"},
        {[](Json& j) { j["id"] = 1.5; },
         "panel.json: clients[2].id must be a whole number from 0 to 4294967295"},
        {[](Json& j) { j["id"] = "7"; },
         "panel.json: clients[2].id must be a whole number, not a string"},
        {[](Json& j) { j["latencyMode"] = 3; },
         "panel.json: clients[2].latencyMode must be a string or null, not a number"},
        {[](Json& j) { j["latencyMode"] = nullptr; }, ""},
        {[](Json& j) { j.erase("latencyMode"); }, ""},
        {[](Json& j) {
             j["extra"] = {1, 2};
         },
         ""},
        {[](Json& j) { j = Json::array(); },
         "panel.json: clients[2] must be an object, not an array"},
    };
    for (const auto& c : cases) {
        Json json = valid;
        c.change(json);
        if (c.error.empty()) {
            EXPECT_NO_THROW(decodeProfile(json, "panel.json", "clients[2]")) << json.dump();
            continue;
        }
        try {
            decodeProfile(json, "panel.json", "clients[2]");
            ADD_FAILURE() << "decoded " << json.dump();
        } catch (const DecodeError& error) {
            EXPECT_EQ(std::string(error.what()), c.error);
        }
    }
}

}  // namespace
}  // namespace vornisel
