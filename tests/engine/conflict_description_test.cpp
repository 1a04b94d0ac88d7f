#include "engine/conflict_description.h"

#include <gtest/gtest.h>

#include "l10n/localizer.h"

namespace vornisel {
namespace {

Profile device(std::string name, std::string outputs, std::string inputs = "") {
    return Profile{.name = std::move(name),
                   .driverOutputs = std::move(outputs),
                   .driverInputs = std::move(inputs)};
}

TEST(ConflictDescriptionTest, ListsSharedDriverChannelsInputsFirst) {
    const std::vector<std::pair<std::vector<Profile>, std::string>> cases = {
        {{}, ""},
        {{device("A", "0,1"), device("B", "2", "0"), device("C", "", "1")}, ""},
        {{device("A", "0,1"), device("B", "1", "2"), device("C", "", "2")},
         "In 3: B, C; Out 2: A, B"},
        {{device("A", "4,4")}, "Out 5: A, A"},
        {{device("A", "-1"), device("B", " -1")}, "Out 0: A, B"},
        {{device("A", "9,2"), device("B", "2,9"), device("C", "x,2")},
         "Out 3: A, B, C; Out 10: A, B"},
        {{device("A", "2147483647"), device("B", "2147483647")}, "Out 2147483648: A, B"},
        // Hardware channels are not compared.
        {{Profile{.name = "A", .outputMap = "0"}, Profile{.name = "B", .outputMap = "0"}}, ""},
    };
    Localizer::shared().values = {{"main.input_short", "In"}, {"main.output_short", "Out"}};
    for (const auto& [clients, text] : cases)
        EXPECT_EQ(conflictDescription(mappingConflicts(clients)), text);
    Localizer::shared().values.clear();
}

}  // namespace
}  // namespace vornisel
