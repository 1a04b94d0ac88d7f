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

// A sample line from the values at the given statistic numbers; every other value is 0.
std::string line(const std::string& time, const std::map<size_t, std::string>& set) {
    std::string text = time;
    for (size_t i = 0; i < Telemetry::fields().size(); ++i)
        text += "," + (set.contains(i) ? set.at(i) : std::string("0"));
    return text;
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
    std::string header = "time";
    for (const std::string& name : Telemetry::fields())
        header += "," + name;
    EXPECT_EQ(readFile(bundle.folder() / "telemetry.csv"),
              header + "\n" + line("1.5", {{0, "3"}, {2, "7"}}) + "\n" +
                  line("1733412345.123", {{57, "4"}}));
    EXPECT_EQ(readFile(bundle.folder() / "summary.txt"),
              "Vornisel Control \u2014 Linux\nStudio A\nID 7\nОстановлено\nГотово\n"
              "Задержка: 8.00 мс\n");
}

}  // namespace
}  // namespace vornisel
