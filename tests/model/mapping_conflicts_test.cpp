#include "model/mapping_conflicts.h"

#include <gtest/gtest.h>

namespace vornisel {
namespace {

Profile device(std::string name, std::string outputs, std::string inputs = "") {
    return Profile{.name = std::move(name),
                   .driverOutputs = std::move(outputs),
                   .driverInputs = std::move(inputs)};
}

TEST(MappingConflictsTest, ListsSharedDriverChannelsInputsFirst) {
    struct Case {
        std::vector<Profile> clients;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        {{device("A", "0,1"), device("B", "2", "0"), device("C", "", "1")}, ""},
        {{device("A", "0,1"), device("B", "1", "2"), device("C", "", "2")},
         "In 3: B, C; Out 2: A, B"},
        {{device("A", "4,4")}, "Out 5: A, A"},
        {{device("A", "-1"), device("B", " -1")}, "Out 0: A, B"},
        {{device("Same", "3"), device("Same", "3")}, "Out 4: Same, Same"},
        {{device("A", "9,2"), device("B", "2,9"), device("C", "x,2")},
         "Out 3: A, B, C; Out 10: A, B"},
        // Hardware channels are not compared.
        {{Profile{.name = "A", .outputMap = "0"}, Profile{.name = "B", .outputMap = "0"}}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mappingConflicts(c.clients, "In", "Out"), c.text);
}

TEST(MappingConflictsTest, LabelsComeFromTheLanguageWithPlatformWords) {
    Localizer::shared().values = {{"main.input_short", "ASIO in"}, {"main.output_short", "Out"}};
    EXPECT_EQ(mappingConflicts({device("A", "", "0"), device("B", "0", "0")}),
              "CoreAudio in 1: A, B");
    Localizer::shared().values.clear();
}

}  // namespace
}  // namespace vornisel
