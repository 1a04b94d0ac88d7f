#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/support_bundle.h"
#include "engine/client_runtime.h"
#include "engine/telemetry.h"
#include "l10n/localizer.h"
#include "model/panel_store.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string header() {
    std::string text = "time";
    for (const std::string& name : Telemetry::fields())
        text += "," + name;
    return text;
}

// A sample line from the values at the given statistic numbers; every other value is 0.
std::string line(const std::string& time, const std::vector<std::pair<size_t, std::string>>& set) {
    std::vector<std::string> values(67, "0");
    for (const auto& [index, value] : set)
        values[index] = value;
    std::string text = time;
    for (const std::string& value : values)
        text += "," + value;
    return text;
}

Telemetry::Clock::time_point at(std::chrono::milliseconds sinceEpoch) {
    return Telemetry::Clock::time_point(sinceEpoch);
}

class BundleFilesTest : public testing::Test {
protected:
    void SetUp() override {
        Localizer::shared().load("en", test::sourceDir() / "resources");
        store.emplace(dir / "data");
        profile.id = 7;
        profile.name = "Studio A";
        profile.device = "hw:CARD=Gen,DEV=0";
        profile.driverOutputs = "0,1";
        profile.outputMap = "0,1";
        store->setClients({profile});
    }
    void TearDown() override { Localizer::shared().load("en", test::sourceDir() / "resources"); }

    TempDir dir;
    std::optional<PanelStore> store;
    Profile profile;
};

TEST_F(BundleFilesTest, SecondsKeepAFractionAndRoundTrip) {
    const std::pair<double, std::string> cases[] = {
        {12.0, "12.0"},
        {0.1, "0.1"},
        {1733412345.25, "1733412345.25"},
        {1733412345.123456, "1733412345.123456"},
        {1e-7, "0.0000001"},
        {-1.5, "-1.5"},
        {0.0, "0.0"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(secondsText(seconds), text);
}

TEST_F(BundleFilesTest, TelemetryHasOneLinePerSampleAndNoFinalLineFeed) {
    EXPECT_EQ(telemetryCsv({}), header());

    const std::deque<Telemetry> samples = {
        Telemetry({{"status", 3}, {"client_id", 7}, {"underrun_count", 2}},
                  at(std::chrono::seconds(12))),
        Telemetry(
            {{"capture_dropped_count", -1}, {"output_server_to_consume_max_microseconds", 900}},
            at(std::chrono::milliseconds(1733412345250))),
    };
    EXPECT_EQ(telemetryCsv(samples), header() + "\n" +
                                         line("12.0", {{0, "3"}, {2, "7"}, {57, "2"}}) + "\n" +
                                         line("1733412345.25", {{60, "-1"}, {66, "900"}}));
}

TEST_F(BundleFilesTest, DeviceWithRecordedStatistics) {
    profile.latency = "6";
    store->setClients({profile});
    ClientRuntime runtime;
    runtime.state = {{"status", 6}, {"sampleRate", 48000}, {"blockFrames", 64}, {"name", "Ünï"}};
    runtime.samples.emplace_back(std::map<std::string, int64_t>{{"status", 3}, {"client_id", 7}},
                                 at(std::chrono::milliseconds(1500)));
    runtime.samples.emplace_back(std::map<std::string, int64_t>{{"underrun_count", 4}},
                                 at(std::chrono::seconds(2)));

    Localizer::shared().load("ru", test::sourceDir() / "resources");
    const SupportBundle bundle(store->directory(), 7, 100, "ABCDEF01");
    bundle.write(*store, profile, runtime);

    EXPECT_EQ(readFile(bundle.folder() / "snapshot.json"),
              "{\n  \"status\": 6,\n  \"sampleRate\": 48000,\n  \"blockFrames\": 64,\n"
              "  \"name\": \"Ünï\"\n}");
    EXPECT_EQ(
        readFile(bundle.folder() / "telemetry.csv"),
        header() + "\n" + line("1.5", {{0, "3"}, {2, "7"}}) + "\n" + line("2.0", {{57, "4"}}));
    EXPECT_EQ(readFile(bundle.folder() / "summary.txt"),
              "Vornisel Control \u2014 Linux\nStudio A\nID 7\nОстановлено\nГотово\n"
              "Задержка: 8.00 мс\n");
    EXPECT_NE(readFile(bundle.folder() / "client.ini").find("client_latency_blocks=6\n"),
              std::string::npos);
}

TEST_F(BundleFilesTest, FailureStopsAtTheFirstFileThatCannotBeMade) {
    writeFile(store->directory() / "support-bundles", "a file, not a folder");
    const SupportBundle blocked(store->directory(), 7, 100, "ABCDEF01");
    EXPECT_THROW(blocked.write(*store, profile, ClientRuntime()), fs::filesystem_error);

    // A state that cannot be encoded stops the export after the files before it.
    fs::remove(store->directory() / "support-bundles");
    ClientRuntime runtime;
    runtime.state = {{"bad", std::string("\xff\xfe")}};
    const SupportBundle bundle(store->directory(), 7, 100, "ABCDEF01");
    EXPECT_ANY_THROW(bundle.write(*store, profile, runtime));
    EXPECT_TRUE(fs::exists(bundle.folder() / "panel.json"));
    EXPECT_FALSE(fs::exists(bundle.folder() / "telemetry.csv"));
}

}  // namespace
}  // namespace vornisel
