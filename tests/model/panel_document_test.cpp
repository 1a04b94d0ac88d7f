#include "model/panel_document.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "model/decode_error.h"

namespace vornisel {
namespace {

using Json = nlohmann::ordered_json;

// The decoding error of a panel document; "" when it decodes.
std::string decodeError(std::string_view bytes) {
    try {
        parsePanelDocument(bytes);
    } catch (const DecodeError& error) {
        return error.what();
    }
    return "";
}

// Fields differ from their defaults and from each other where they can, so that a field written
// or read under another's name shows.
PanelDocument sampleDocument() {
    PanelDocument document;
    document.settings = {.prefix = 3070905, .login = true, .width = 1040.5};
    document.presets.front().clients = {Profile{.id = 4294967295u,
                                                .name = "Мастер",
                                                .server = "10.0.0.2",
                                                .port = "28011",
                                                .device = "hw:1",
                                                .latency = "3",
                                                .driverOutputs = "0,1",
                                                .outputMap = "2,3",
                                                .driverInputs = "4",
                                                .inputMap = "5"}};
    document.presets.push_back(Preset{"live", "Live", {Profile{.id = 0, .latencyMode = "Stable"}}});
    return document;
}

TEST(PanelDocumentTest, TimePrefixIsMonthDayHourMinuteAsNumber) {
    EXPECT_EQ(timePrefixFor(2, 7, 9, 5), 3070905u);
    const uint32_t now = PanelSettings::timePrefix();
    EXPECT_GE(now, 1010000u);
    EXPECT_LE(now, 12312359u);
}

TEST(PanelDocumentTest, WrittenCompactInFieldOrderAndReadBack) {
    const std::string text = panelJsonText(sampleDocument());
    EXPECT_EQ(text,
              R"({"version":2,"settings":{"language":"en","discovery":true,"server":"127.0.0.1",)"
              R"("port":28010,"prefix":3070905,"minimized":false,"login":true,"width":1040.5,)"
              R"("height":720},"active":"default","presets":[{"id":"default","name":"Default",)"
              R"("clients":[{"id":4294967295,"name":"Мастер","server":"10.0.0.2","port":"28011",)"
              R"("device":"hw:1","latency":"3","driverOutputs":"0,1","outputMap":"2,3",)"
              R"("driverInputs":"4","inputMap":"5"}]},{"id":"live","name":"Live","clients":[)"
              R"({"id":0,"name":"","server":"auto","port":"28010","device":"","latency":"2",)"
              R"("driverOutputs":"","outputMap":"","driverInputs":"","inputMap":"",)"
              R"("latencyMode":"Stable"}]}]})");
    EXPECT_EQ(parsePanelDocument(text), sampleDocument());
}

TEST(PanelDocumentTest, StrictDecodingRejectsTheWholeDocumentNamingTheMember) {
    const Json valid = Json::parse(panelJsonText(sampleDocument()));
    const std::string badId =
        R"(presets[1].id must be a folder name: not empty, "." or "..", without "/" or NUL)";
    // A member (a JSON pointer), its new value and the error after "panel.json: " (empty: the
    // document decodes).
    const std::vector<std::tuple<std::string, Json, std::string>> cases = {
        {"/settings/port", "28010", "settings.port must be a whole number, not a string"},
        {"/settings/prefix", -1, "settings.prefix must be a whole number from 0 to 4294967295"},
        {"/settings/discovery", 1, "settings.discovery must be true or false, not a number"},
        {"/settings/height", nullptr, "settings.height must be a number, not null"},
        {"/settings", Json::array(), "settings must be an object, not an array"},
        {"/version", 2.5, "version must be a whole number in the 64-bit range"},
        {"/presets", Json::object(), "presets must be an array, not an object"},
        {"/presets/1/clients/0/port", 2,
         "presets[1].clients[0].port must be a string, not a number"},
        {"/presets/1/clients/0", "x", "presets[1].clients[0] must be an object, not a string"},
        {"/presets/1/clients/0/id", 4294967296LL,
         "presets[1].clients[0].id must be a whole number from 0 to 4294967295"},
        {"/presets/1/clients/0/latencyMode", 3,
         "presets[1].clients[0].latencyMode must be a string or null, not a number"},
        {"/presets/1/clients/0/latencyMode", nullptr, ""},
        {"/settings/prefix", 4294967295.0, ""},
        // A preset id names a folder of the data directory, so it must stay one plain name.
        {"/presets/1/id", "", badId},
        {"/presets/1/id", ".", badId},
        {"/presets/1/id", "..", badId},
        {"/presets/1/id", "a/b", badId},
        {"/presets/1/id", std::string("a\0b", 3), badId},
    };
    for (const auto& [pointer, value, error] : cases) {
        Json json = valid;
        json[Json::json_pointer(pointer)] = value;
        EXPECT_EQ(decodeError(json.dump()), error.empty() ? "" : "panel.json: " + error) << pointer;
    }
}

TEST(PanelDocumentTest, MalformedBytesGiveCleanErrors) {
    // The bytes and the error after "panel.json: ".
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "is not valid JSON (it ends early)"},
        {"{\"version\":2,\n  \"settings\": x}", "is not valid JSON (at line 2, column 15)"},
        {"{\"active\":\"\xC3\x28\"}", "is not valid UTF-8 text (at line 1, column 12)"},
        {"{\"active\":\"\xED\xA0\x80\"}", "is not valid UTF-8 text (at line 1, column 12)"},
        {"{\"active\":\"\x80\"}", "is not valid UTF-8 text (at line 1, column 12)"},
        // The lowest and highest code points of each length pass.
        {"{\"version\":\"\xC2\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\"}",
         "version must be a whole number, not a string"},
        {R"(["x",)" + std::string(100000, '['),
         "is nested more than 64 levels deep at line 1, column 69"},
        {R"({"version":"\")" + std::string(1000, '[') + R"("})",
         "version must be a whole number, not a string"},
        {"[]", "must hold a JSON object, not an array"},
        {R"({"version":2})", "settings is missing"},
        {R"({"version":1e400})", "holds a number out of range"},
        {std::string(maxDocumentBytes + 1, ' '), "is larger than 16 MiB and is not read"},
    };
    for (const auto& [bytes, error] : cases)
        EXPECT_EQ(decodeError(bytes), "panel.json: " + error) << bytes.substr(0, 40);
}

}  // namespace
}  // namespace vornisel
