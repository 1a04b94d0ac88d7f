#include <gtest/gtest.h>

#include <chrono>
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

using test::readFile;

// The statistics file read by its header: a map of column name to value per sample line.
std::vector<std::map<std::string, std::string>> samplesOf(const std::string& csv) {
    std::vector<std::vector<std::string>> lines(1, std::vector<std::string>(1));
    for (char c : csv) {
        if (c == '\n')
            lines.emplace_back(1);
        else if (c == ',')
            lines.back().emplace_back();
        else
            lines.back().back() += c;
    }
    std::vector<std::map<std::string, std::string>> rows;
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].size(), lines[0].size()) << "line " << i;
        auto& row = rows.emplace_back();
        for (size_t k = 0; k < std::min(lines[i].size(), lines[0].size()); ++k)
            row[lines[0][k]] = lines[i][k];
    }
    return rows;
}

// The files of a device in the language shown; the statistics have one line per sample and no
// final line feed.
TEST(BundleFilesTest, DeviceWithRecordedStatistics) {
    test::TempDir dir;
    PanelStore store(dir / "data");
    const Profile profile{
        .id = 7, .name = "Studio A", .device = "hw:CARD=Gen,DEV=0", .latency = "6"};
    store.setClients({profile});
    ClientRuntime runtime;
    runtime.state = {{"status", 6}, {"sampleRate", 48000}, {"blockFrames", 64}, {"name", "Ünï"}};
    using Clock = Telemetry::Clock;
    runtime.samples.emplace_back(std::map<std::string, int64_t>{{"status", 3}, {"client_id", 7}},
                                 Clock::time_point(std::chrono::milliseconds(1500)));
    runtime.samples.emplace_back(std::map<std::string, int64_t>{{"underrun_count", 4}},
                                 Clock::time_point(std::chrono::milliseconds(1733412345123)));

    Localizer::shared().load("ru", test::sourceDir() / "resources");
    const SupportBundle bundle(store.directory(), 7, 100, "ABCDEF01");
    bundle.write(store, profile, runtime);
    Localizer::shared().load("en", test::sourceDir() / "resources");

    EXPECT_EQ(readFile(bundle.folder() / "snapshot.json"),
              "{\n  \"status\": 6,\n  \"sampleRate\": 48000,\n  \"blockFrames\": 64,\n"
              "  \"name\": \"Ünï\"\n}");
    // Each value stands under its statistic's name; the ones not recorded read 0.
    auto samples = samplesOf(readFile(bundle.folder() / "telemetry.csv"));
    ASSERT_EQ(samples.size(), 2u);
    const std::map<std::string, std::string> expected[] = {
        {{"time", "1.5"}, {"status", "3"}, {"client_id", "7"}},
        {{"time", "1733412345.123"}, {"underrun_count", "4"}}};
    for (size_t i = 0; i < 2; ++i) {
        for (auto [name, value] : expected[i])
            samples[i].try_emplace(name, "absent");
        for (const auto& [name, value] : samples[i]) {
            const auto set = expected[i].find(name);
            EXPECT_EQ(value, set == expected[i].end() ? "0" : set->second) << name;
        }
    }
    EXPECT_EQ(readFile(bundle.folder() / "summary.txt"),
              "Vornisel Control \u2014 Linux\nStudio A\nID 7\nОстановлено\nГотово\n"
              "Задержка: 8.00 мс\n");
}

}  // namespace
}  // namespace vornisel
