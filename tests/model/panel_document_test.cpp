#include "model/panel_document.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "model/decode_error.h"

namespace vornisel {
namespace {

using Json = nlohmann::ordered_json;

std::string decodeError(std::string_view bytes) {
    try {
        parsePanelDocument(bytes);
    } catch (const DecodeError& error) {
        return error.what();
    }
    return "<decoded>";
}

PanelDocument sampleDocument() {
    PanelDocument document;
    document.settings.prefix = 3070905;
    document.presets.front().clients = {
        Profile{.id = 3070906,
                .name = "Desk",
                .device = "hw:CARD=PCH",
                .driverOutputs = "0,1",
                .outputMap = "0,1",
                .latencyMode = "Stable"},
        Profile{.id = 3070907, .name = "Мастер", .latency = "abc"},
    };
    document.presets.push_back(Preset{"live", "Live", {Profile{.id = 9}}});
    return document;
}

TEST(PanelDocumentTest, TimePrefixIsMonthDayHourMinuteAsNumber) {
    struct Case {
        int month0, day, hour, minute;
        uint32_t prefix;
    };
    const std::vector<Case> cases = {
        {2, 7, 9, 5, 3070905u},
        {11, 31, 23, 59, 12312359u},
        {0, 1, 0, 0, 1010000u},
        {9, 10, 12, 0, 10101200u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(timePrefixFor(c.month0, c.day, c.hour, c.minute), c.prefix) << c.prefix;
    }
    const uint32_t now = PanelSettings::timePrefix();
    EXPECT_GE(now, 1010000u);
    EXPECT_LE(now, 12312359u);
}

TEST(PanelDocumentTest, DefaultDocumentIsWrittenCompactInTableOrder) {
    PanelDocument document;
    document.settings.prefix = 3070905;
    EXPECT_EQ(panelJsonText(document),
              R"({"version":2,"settings":{"language":"en","discovery":true,"server":"127.0.0.1",)"
              R"("port":28010,"prefix":3070905,"minimized":false,"login":false,"width":1040,)"
              R"("height":720},"active":"default","presets":[{"id":"default","name":"Default",)"
              R"("clients":[]}]})");
    document.settings.width = 1040.5;
    EXPECT_NE(panelJsonText(document).find(R"("width":1040.5)"), std::string::npos);
}

TEST(PanelDocumentTest, RoundTripKeepsEveryFieldAndDropsUnknownKeys) {
    const PanelDocument document = sampleDocument();
    const std::string text = panelJsonText(document);
    EXPECT_EQ(parsePanelDocument(text), document);
    EXPECT_EQ(panelJsonText(parsePanelDocument(text)), text);

    Json json = Json::parse(text);
    json["extra"] = {{"nested", true}};
    json["settings"]["theme"] = "dark";
    json["presets"][0]["clients"][0]["colour"] = 3;
    const PanelDocument decoded = parsePanelDocument(json.dump());
    EXPECT_EQ(decoded, document);
    EXPECT_EQ(panelJsonText(decoded), text);
}

TEST(PanelDocumentTest, StrictDecodingRejectsTheWholeDocumentWithAnActionableMessage) {
    const Json valid = Json::parse(panelJsonText(sampleDocument()));
    struct Case {
        std::function<void(Json&)> change;
        std::string error;
    };
    const std::vector<Case> cases = {
        {[](Json& j) { j["settings"].erase("width"); }, "panel.json: settings.width is missing"},
        {[](Json& j) { j["settings"]["port"] = "28010"; },
         "panel.json: settings.port must be a whole number, not a string"},
        {[](Json& j) { j["settings"]["prefix"] = -1; },
         "panel.json: settings.prefix must be a whole number from 0 to 4294967295"},
        {[](Json& j) { j["settings"]["discovery"] = 1; },
         "panel.json: settings.discovery must be true or false, not a number"},
        {[](Json& j) { j["settings"]["height"] = nullptr; },
         "panel.json: settings.height must be a number, not null"},
        {[](Json& j) { j["settings"] = Json::array(); },
         "panel.json: settings must be an object, not an array"},
        {[](Json& j) { j.erase("version"); }, "panel.json: version is missing"},
        {[](Json& j) { j["version"] = 2.5; },
         "panel.json: version must be a whole number in the 64-bit range"},
        {[](Json& j) { j["active"] = nullptr; }, "panel.json: active must be a string, not null"},
        {[](Json& j) { j["presets"] = Json::object(); },
         "panel.json: presets must be an array, not an object"},
        {[](Json& j) { j["presets"][1].erase("name"); }, "panel.json: presets[1].name is missing"},
        {[](Json& j) { j["presets"][0]["clients"][1]["port"] = 2; },
         "panel.json: presets[0].clients[1].port must be a string, not a number"},
        {[](Json& j) { j["presets"][0]["clients"][1] = "x"; },
         "panel.json: presets[0].clients[1] must be an object, not a string"},
        {[](Json& j) { j = Json::array(); }, "panel.json: must hold a JSON object, not an array"},
    };
    for (const auto& c : cases) {
        Json json = valid;
        c.change(json);
        EXPECT_EQ(decodeError(json.dump()), c.error);
    }
    // A preset id names a folder of the data directory, so it must stay one plain name.
    const std::vector<std::string> badIds = {
        "", ".", "..", "../../escaped", "/tmp/x", "a/b", std::string("a\0b", 3)};
    for (const std::string& id : badIds) {
        Json json = valid;
        json["presets"][1]["id"] = id;
        EXPECT_EQ(decodeError(json.dump()),
                  R"(panel.json: presets[1].id must be a folder name: not empty, "." or "..", )"
                  R"(without "/" or NUL)")
            << id;
    }
}

TEST(PanelDocumentTest, WholeNumbersWrittenAsFractionsAreAccepted) {
    Json json = Json::parse(panelJsonText(sampleDocument()));
    json["settings"]["port"] = 28011.0;
    json["settings"]["prefix"] = 4294967295.0;
    const PanelDocument document = parsePanelDocument(json.dump());
    EXPECT_EQ(document.settings.port, 28011);
    EXPECT_EQ(document.settings.prefix, 4294967295u);
}

TEST(PanelDocumentTest, MalformedBytesGiveCleanErrors) {
    struct Case {
        std::string bytes;
        std::string error;
    };
    const std::string deep(100000, '[');
    const std::string bracketsInString = R"({"version":")" + std::string(1000, '[') + R"("})";
    const std::vector<Case> cases = {
        {"", "panel.json: is not valid JSON (it ends early)"},
        {"{\"version\":2,\n  \"settings\": x}",
         "panel.json: is not valid JSON (at line 2, column 15)"},
        {"{\"active\":\"\xC3\x28\"}", "panel.json: is not valid UTF-8 text (at line 1, column 12)"},
        {"{\"active\":\"\xED\xA0\x80\"}",
         "panel.json: is not valid UTF-8 text (at line 1, column 12)"},
        {deep, "panel.json: is nested more than 64 levels deep at line 1, column 65"},
        {bracketsInString, "panel.json: version must be a whole number, not a string"},
        {"[]", "panel.json: must hold a JSON object, not an array"},
        {R"({"version":1e400})", "panel.json: holds a number out of range"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeError(c.bytes), c.error) << c.bytes.substr(0, 40);
    EXPECT_EQ(decodeError(std::string(maxDocumentBytes + 1, ' ')),
              "panel.json: is larger than 16 MiB and is not read");
}

TEST(PanelDocumentTest, LegacyListDecodesProfilesAndNamesItsFile) {
    EXPECT_EQ(parseProfileList("[]"), std::vector<Profile>{});
    const auto list = parseProfileList(
        R"([{"id":7,"name":"A","server":"10.0.0.9","port":"x","device":"d","latency":"3",)"
        R"("driverOutputs":"0","outputMap":"1","driverInputs":"","inputMap":""}])");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].latencyMode, std::nullopt);
    EXPECT_EQ(list[0].outputMap, "1");
    try {
        parseProfileList(R"([{"id":7}])");
        ADD_FAILURE();
    } catch (const DecodeError& error) {
        EXPECT_STREQ(error.what(), "profiles.json: [0].name is missing");
    }
    EXPECT_THROW(parseProfileList("{}"), DecodeError);
}

}  // namespace
}  // namespace vornisel
