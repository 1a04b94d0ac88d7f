#include "model/panel_store.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/temp_dir.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

std::string panelJson(const std::string& active, std::vector<Preset> presets, int version = 2) {
    return panelJsonText(PanelDocument{
        .version = version, .settings = {.prefix = 100}, .active = active, .presets = presets});
}

TEST(PanelStoreTest, UnusableFilesAreRefusedAndLeftAsTheyAre) {
    // The file, its text and the start of the error.
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"panel.json", panelJson("default", PanelDocument().presets, 1),
         "Unsupported panel settings"},
        {"panel.json", panelJson("default", {}), "Unsupported panel settings"},
        // A preset id that would lead out of the data directory is refused while decoding.
        {"panel.json", panelJson("../x", {{"../x", "E", {}}}),
         "panel.json: presets[0].id must be a folder name"},
        // So is a language code: it names a file of the bundle.
        {"panel.json", panelJsonText({.settings = {.language = "../../x/evil"}}),
         "panel.json: settings.language must be a plain name"},
        {"profiles.json", "{}", "profiles.json: must hold a JSON array of devices"},
        {"profiles.json", R"([{"id":7}])", "profiles.json: [0].name is missing"},
    };
    for (const auto& [file, text, error] : cases) {
        TempDir temp;
        writeFile(temp / file, text);
        try {
            PanelStore store(temp.path());
            ADD_FAILURE() << text;
        } catch (const std::runtime_error& thrown) {
            EXPECT_EQ(std::string(thrown.what()).rfind(error, 0), 0u) << thrown.what();
        }
        EXPECT_EQ(readFile(temp / file), text);
        EXPECT_EQ(fs::exists(temp / "panel.json"), file == "panel.json");
    }
}

TEST(PanelStoreTest, ActivePresetIsTheFirstWithTheActiveIdOrElseTheFirst) {
    TempDir temp;
    const std::vector<Preset> presets = {
        {"a", "A", {}}, {"b", "B1", {Profile{.id = 5}}}, {"b", "B2", {}}};
    writeFile(temp / "panel.json", panelJson("b", presets));
    writeFile(temp / "profiles.json", "not read once panel.json exists");
    writeFile(temp / ".panel.json.Ab3dEf", "left by a killed save");
    PanelStore store(temp.path());
    EXPECT_FALSE(fs::exists(temp / ".panel.json.Ab3dEf"));
    EXPECT_EQ(store.activeIndex(), 1u);
    EXPECT_EQ(store.clients(), presets[1].clients);

    // An active id naming no preset is repaired in memory only.
    const std::string text = panelJson("gone", presets);
    writeFile(temp / "panel.json", text);
    PanelStore repaired(temp.path());
    EXPECT_EQ(repaired.document.active, "a");
    EXPECT_EQ(repaired.activeIndex(), 0u);
    EXPECT_EQ(readFile(temp / "panel.json"), text);
}

TEST(PanelStoreTest, LegacyListIsMigratedWithSettingsFromTheFirstDevice) {
    // The legacy devices and the settings they give; without a device the prefix is the time's.
    const std::vector<std::pair<std::vector<Profile>, PanelSettings>> cases = {
        {{Profile{.id = 7, .server = "192.168.1.20", .port = "abc"}, Profile{.id = 20}},
         {.language = "ru", .discovery = false, .server = "192.168.1.20", .prefix = 6}},
        {{Profile{.id = 1, .port = "-5"}}, {.language = "ru", .port = -5, .prefix = 1}},
        {{}, {}},
    };
    for (const auto& [profiles, settings] : cases) {
        TempDir temp;
        auto json = nlohmann::ordered_json::array();
        for (const Profile& profile : profiles)
            json.push_back(encodeProfile(profile));
        const std::string list = json.dump();
        writeFile(temp / "profiles.json", list);
        PanelStore store(temp.path());
        PanelSettings expected = settings;
        if (profiles.empty()) expected.prefix = store.document.settings.prefix;
        EXPECT_TRUE(store.document.settings == expected) << list;
        EXPECT_EQ(store.clients(), profiles);
        EXPECT_EQ(readFile(temp / "profiles.json"), list);
        EXPECT_EQ(parsePanelDocument(readFile(temp / "panel.json")), store.document);
    }
}

TEST(PanelStoreTest, NextIDSkipsIdentifiersOfEveryPresetAndStopsAtTheTop) {
    const uint32_t top = 4294967295u;
    // The prefix, the identifiers in the active and in another preset, and the next identifier
    // (-1: "Device ID overflow").
    using IDs = std::vector<uint32_t>;
    const std::vector<std::tuple<uint32_t, IDs, IDs, int64_t>> cases = {
        {100, {}, {101, 102}, 103}, {100, {101}, {103}, 102},
        {100, {50, 100}, {}, 101},  {0, {}, {}, 1},
        {top - 1, {}, {}, top},     {top - 2, {top - 1}, {top}, -1},
        {top, {}, {}, -1},
    };
    TempDir temp;
    PanelStore store(temp.path());
    for (const auto& [prefix, activeIDs, otherIDs, expected] : cases) {
        store.document.settings.prefix = prefix;
        store.document.presets = {{"default", "", {}}, {"other", "", {}}};
        for (uint32_t id : activeIDs)
            store.clients().push_back(Profile{.id = id});
        for (uint32_t id : otherIDs)
            store.document.presets[1].clients.push_back(Profile{.id = id});
        int64_t next = -1;
        try {
            next = store.nextID();
        } catch (const PanelError& error) {
            EXPECT_STREQ(error.what(), "Device ID overflow");
        }
        EXPECT_EQ(next, expected) << prefix;
    }
}

TEST(PanelStoreTest, FreshStoreWritesOnlyConfigFilesIntoTheActivePresetsFolderUntilSaved) {
    TempDir temp;
    const fs::path directory = temp / "a/b";
    PanelStore store(directory);
    EXPECT_TRUE(store.firstRun);
    EXPECT_TRUE(fs::is_empty(directory));
    const Profile profile{.id = 7,
                          .device = "hw:1",
                          .latency = "9",
                          .driverOutputs = "0,1",
                          .outputMap = "2, 3",
                          .driverInputs = "4",
                          .inputMap = "5"};
    const fs::path path = store.writeConfig(profile);
    EXPECT_EQ(path, directory / "config" / "default" / "7.ini");
    // The engine host reads these fourteen lines; values are copied as they are stored.
    EXPECT_EQ(readFile(path),
              "[network]\nserver_ip=auto\nserver_port=28010\nclient_id=7\n[latency]\n"
              "client_latency_blocks=9\nlatency_mode=Custom\n[vornisel]\ndriver_outputs=0,1\n"
              "driver_inputs=4\n[coreaudio]\ndevice_uid=hw:1\noutput_map=2, 3\ninput_map=5\n");

    store.save();
    EXPECT_FALSE(PanelStore(directory).firstRun);
    store.document.active = "..";
    EXPECT_THROW(store.writeConfig(profile), PanelError);
}

}  // namespace
}  // namespace vornisel::test
