#include "model/panel_store.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "model/client_config.h"
#include "model/decode_error.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string profileJson(uint32_t id, const std::string& server = "auto",
                        const std::string& port = "28010") {
    return R"({"id":)" + std::to_string(id) + R"(,"name":"D)" + std::to_string(id) +
           R"(","server":")" + server + R"(","port":")" + port +
           R"(","device":"hw:0","latency":"5","driverOutputs":"0,1","outputMap":"1, 0",)"
           R"("driverInputs":"","inputMap":""})";
}

std::string panelJson(const std::string& active, const std::string& presets, int version = 2) {
    return R"({"version":)" + std::to_string(version) +
           R"(,"settings":{"language":"en","discovery":true,"server":"127.0.0.1","port":28010,)"
           R"("prefix":100,"minimized":false,"login":false,"width":1040,"height":720},"active":")" +
           active + R"(","presets":)" + presets + "}";
}

TEST(PanelStoreTest, EmptyDirectoryIsAFirstRunAndWritesNothing) {
    TempDir temp;
    const fs::path directory = temp / "a/b/c";
    PanelStore store(directory);
    EXPECT_TRUE(store.firstRun);
    EXPECT_EQ(store.directory(), directory);
    EXPECT_TRUE(fs::is_directory(directory));
    EXPECT_TRUE(fs::is_empty(directory));
    EXPECT_EQ(store.document.presets, PanelDocument().presets);
    EXPECT_EQ(store.document.active, "default");

    store.save();
    EXPECT_EQ(parsePanelDocument(readFile(directory / "panel.json")), store.document);
    EXPECT_FALSE(PanelStore(directory).firstRun);
}

TEST(PanelStoreTest, UnusableDocumentsFailAndStayUntouched) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {panelJson("default", R"([{"id":"default","name":"Default","clients":[]}])", 1),
         "Unsupported panel settings"},
        {panelJson("default", "[]"), "Unsupported panel settings"},
        {panelJson("../escaped", R"([{"id":"../escaped","name":"E","clients":[]}])"),
         R"(panel.json: presets[0].id must be a folder name: not empty, "." or "..", )"
         R"(without "/" or NUL)"},
    };
    for (const auto& c : cases) {
        TempDir temp;
        writeFile(temp / "panel.json", c.text);
        try {
            PanelStore store(temp.path());
            ADD_FAILURE() << c.text;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), c.error);
        }
        EXPECT_EQ(readFile(temp / "panel.json"), c.text);
    }
}

TEST(PanelStoreTest, DecodeAndFileSystemErrorsPassThrough) {
    TempDir temp;
    writeFile(temp / "panel.json", panelJson("default", R"([{"id":"x","name":"X"}])"));
    EXPECT_THROW(PanelStore(temp.path()), DecodeError);

    TempDir legacy;
    writeFile(legacy / "profiles.json", R"([{"id":1,"name":"","server":"auto","port":"1",)"
                                        R"("device":"","latency":"2","driverOutputs":"",)"
                                        R"("outputMap":"","inputMap":""}])");
    try {
        PanelStore store(legacy.path());
        ADD_FAILURE();
    } catch (const DecodeError& error) {
        EXPECT_STREQ(error.what(), "profiles.json: [0].driverInputs is missing");
    }
    EXPECT_FALSE(fs::exists(legacy / "panel.json"));

    TempDir blocked;
    writeFile(blocked / "file", "x");
    EXPECT_THROW(PanelStore(blocked / "file" / "data"), fs::filesystem_error);

    TempDir unreadable;
    fs::create_directory(unreadable / "panel.json");
    EXPECT_THROW(PanelStore(unreadable.path()), fs::filesystem_error);

    TempDir huge;
    writeFile(huge / "profiles.json", "[]");
    fs::resize_file(huge / "profiles.json", maxDocumentBytes + 1);  // sparse, written in no time
    try {
        PanelStore store(huge.path());
        ADD_FAILURE();
    } catch (const DecodeError& error) {
        EXPECT_STREQ(error.what(), "profiles.json: is larger than 16 MiB and is not read");
    }
}

TEST(PanelStoreTest, ActiveNamingNoPresetIsRepairedInMemoryOnly) {
    TempDir temp;
    const std::string text = panelJson(
        "gone", R"([{"id":"a","name":"A","clients":[]},{"id":"b","name":"B","clients":[]}])");
    writeFile(temp / "panel.json", text);
    PanelStore store(temp.path());
    EXPECT_FALSE(store.firstRun);
    EXPECT_EQ(store.document.active, "a");
    EXPECT_EQ(store.activeIndex(), 0u);
    EXPECT_EQ(readFile(temp / "panel.json"), text);
    store.save();
    EXPECT_NE(readFile(temp / "panel.json").find(R"("active":"a")"), std::string::npos);
}

TEST(PanelStoreTest, ActiveIndexPicksTheFirstMatchingPreset) {
    TempDir temp;
    writeFile(temp / "panel.json",
              panelJson("b",
                        "["
                        R"({"id":"a","name":"A","clients":[]},)"
                        R"({"id":"b","name":"B1","clients":[)" +
                            profileJson(5) + "]}," + R"({"id":"b","name":"B2","clients":[]}])"));
    PanelStore store(temp.path());
    EXPECT_EQ(store.activeIndex(), 1u);
    ASSERT_EQ(store.clients().size(), 1u);
    EXPECT_EQ(store.clients()[0].id, 5u);
    store.setClients({});
    EXPECT_TRUE(store.document.presets[1].clients.empty());
    EXPECT_TRUE(store.document.presets[2].clients.empty());
}

TEST(PanelStoreTest, LegacyMigrationDerivesSettingsFromTheFirstDevice) {
    struct Case {
        std::string profiles;
        bool discovery;
        std::string server;
        int64_t port;
        uint32_t prefix;
        std::string language;
    };
    const std::vector<Case> cases = {
        {"[" + profileJson(7, "192.168.1.20", "abc") + "," + profileJson(20) + "]", false,
         "192.168.1.20", 28010, 6, "ru"},
        {"[" + profileJson(1, "auto", "-5") + "]", true, "127.0.0.1", -5, 1, "ru"},
        {"[" + profileJson(0, "auto", "+4000") + "]", true, "127.0.0.1", 4000, 1, "ru"},
        {"[" + profileJson(2, "Auto", "") + "]", false, "Auto", 28010, 1, "ru"},
        {"[]", true, "127.0.0.1", 28010, 0, "en"},
    };
    for (const auto& c : cases) {
        TempDir temp;
        writeFile(temp / "profiles.json", c.profiles);
        PanelStore store(temp.path());
        EXPECT_FALSE(store.firstRun);
        const PanelSettings& settings = store.document.settings;
        EXPECT_EQ(settings.discovery, c.discovery) << c.profiles;
        EXPECT_EQ(settings.server, c.server);
        EXPECT_EQ(settings.port, c.port);
        if (c.prefix != 0) {
            EXPECT_EQ(settings.prefix, c.prefix);
        }
        EXPECT_EQ(settings.language, c.language);
        EXPECT_EQ(settings.width, 1040.0);
        EXPECT_FALSE(settings.login);
        EXPECT_EQ(readFile(temp / "profiles.json"), c.profiles);
        EXPECT_EQ(parsePanelDocument(readFile(temp / "panel.json")), store.document);
        EXPECT_EQ(store.clients(), parseProfileList(c.profiles));
    }
}

TEST(PanelStoreTest, MigratedStoreAllocatesAboveTheFirstDevice) {
    TempDir temp;
    writeFile(temp / "profiles.json", "[" + profileJson(7, "10.0.0.1") + "]");
    EXPECT_EQ(PanelStore(temp.path()).nextID(), 8u);

    TempDir taken;
    writeFile(taken / "profiles.json", "[" + profileJson(7) + "," + profileJson(8) + "]");
    EXPECT_EQ(PanelStore(taken.path()).nextID(), 9u);
}

TEST(PanelStoreTest, PanelJsonWinsOverLegacyFile) {
    TempDir temp;
    writeFile(temp / "profiles.json", "[" + profileJson(7, "10.0.0.1") + "]");
    writeFile(temp / "panel.json",
              panelJson("default", R"([{"id":"default","name":"D","clients":[]}])"));
    PanelStore store(temp.path());
    EXPECT_TRUE(store.clients().empty());
    EXPECT_EQ(store.document.settings.prefix, 100u);
}

TEST(PanelStoreTest, NextIDSkipsIdentifiersOfEveryPresetAndStopsAtTheTop) {
    struct Case {
        uint32_t prefix;
        std::vector<uint32_t> activeIDs, otherIDs;
        std::optional<uint32_t> next;  // nothing: "Device ID overflow"
    };
    const uint32_t top = 4294967295u;
    const std::vector<Case> cases = {
        {100, {}, {101, 102}, 103},  {100, {101}, {103}, 102},
        {100, {50, 100}, {}, 101},   {0, {}, {}, 1},
        {top - 1, {}, {}, top},      {top - 2, {top - 1}, {top}, std::nullopt},
        {top, {}, {}, std::nullopt},
    };
    for (const auto& c : cases) {
        TempDir temp;
        PanelStore store(temp.path());
        store.document.settings.prefix = c.prefix;
        for (uint32_t id : c.activeIDs)
            store.clients().push_back(Profile{.id = id});
        Preset other{"other", "Other", {}};
        for (uint32_t id : c.otherIDs)
            other.clients.push_back(Profile{.id = id});
        store.document.presets.push_back(other);
        const PanelDocument before = store.document;
        if (c.next) {
            EXPECT_EQ(store.nextID(), *c.next) << c.prefix;
        } else {
            try {
                store.nextID();
                ADD_FAILURE() << c.prefix;
            } catch (const PanelError& error) {
                EXPECT_STREQ(error.what(), "Device ID overflow");
            }
        }
        EXPECT_EQ(store.document, before);
    }
}

TEST(PanelStoreTest, ConfigFilesLiveInTheActivePresetsFolder) {
    TempDir temp;
    PanelStore store(temp.path());
    const Profile profile{.id = 7,
                          .device = "BuiltInSpeakerDevice",
                          .driverOutputs = "0,1",
                          .outputMap = "0,1",
                          .latencyMode = "Stable"};
    EXPECT_EQ(store.configURL(profile), temp.path() / "config" / "default" / "7.ini");
    EXPECT_FALSE(fs::exists(temp / "config"));

    const fs::path first = store.writeConfig(profile);
    EXPECT_EQ(first, store.configURL(profile));
    EXPECT_EQ(readFile(first), clientConfigText(profile));

    store.document.presets.push_back(Preset{"live", "Live", {}});
    store.document.active = "live";
    const fs::path second = store.writeConfig(profile);
    EXPECT_EQ(second, temp.path() / "config" / "live" / "7.ini");
    EXPECT_TRUE(fs::exists(first));
    EXPECT_EQ(readFile(first), readFile(second));

    store.document.active = "..";
    EXPECT_THROW(store.writeConfig(profile), PanelError);
    EXPECT_FALSE(fs::exists(temp / "7.ini"));
}

TEST(PanelStoreTest, FailedSaveLeavesThePreviousFileAndTheDocument) {
    TempDir temp;
    PanelStore store(temp.path());
    fs::create_directory(temp / "panel.json");
    writeFile(temp / "panel.json" / "keep", "x");
    store.document.settings.language = "ru";
    EXPECT_THROW(store.save(), fs::filesystem_error);
    EXPECT_EQ(store.document.settings.language, "ru");
    EXPECT_EQ(readFile(temp / "panel.json" / "keep"), "x");
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace vornisel
