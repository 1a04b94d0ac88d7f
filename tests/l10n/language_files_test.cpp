#include <gtest/gtest.h>

#include <set>

#include "l10n/localizer.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

// Every key the program looks up, with the number of arguments its callers pass.
const std::map<std::string, int>& programKeys() {
    static const std::map<std::string, int> keys = {
        {"action.start_device", 0},
        {"action.stop_device", 0},
        {"app.title", 0},
        {"diagnostics.no_action", 0},
        {"dialog.cancel", 0},
        {"dialog.save", 0},
        {"main.active_preset", 0},
        {"main.add_device", 0},
        {"main.close", 0},
        {"main.delete_device", 0},
        {"main.devices", 0},
        {"main.diagnostics", 0},
        {"main.edit_channels", 0},
        {"main.export_support_bundle", 0},
        {"main.input_short", 0},
        {"main.no_devices_subtitle", 0},
        {"main.no_devices_title", 0},
        {"main.output_short", 0},
        {"main.refresh", 0},
        {"main.save_preset", 0},
        {"main.settings", 0},
        {"main.start_all", 0},
        {"main.stop_all", 0},
        {"main.subtitle", 0},
        {"new_device.add", 0},
        {"new_device.asio_device", 0},
        {"new_device.assign_route", 0},
        {"new_device.client_latency_blocks", 0},
        {"new_device.edit_subtitle", 0},
        {"new_device.edit_title", 0},
        {"new_device.input", 0},
        {"new_device.inputs", 0},
        {"new_device.latency_mode", 0},
        {"new_device.latency_range", 0},
        {"new_device.output", 0},
        {"new_device.outputs", 0},
        {"new_device.reset", 0},
        {"new_device.select_asio", 0},
        {"new_device.subtitle", 0},
        {"new_device.title", 0},
        {"notice.all_asio_added", 0},
        {"notice.device_added", 0},
        {"notice.device_settings_saved", 0},
        {"notice.exit_canceled", 0},
        {"notice.latency_apply_stop_failed", 0},
        {"notice.latency_recommendation_applied", 1},  // proposed block count
        {"notice.mapping_conflict", 1},                // conflict text
        {"notice.max_clients", 0},
        {"notice.no_asio", 0},
        {"notice.preset_saved", 1},     // preset name
        {"notice.preset_selected", 1},  // preset name
        {"notice.settings_saved", 0},
        {"notice.stop_before_edit", 0},
        {"notice.stop_before_preset", 0},
        {"notice.support_bundle_failed", 1},  // exit status or error description
        {"notice.support_bundle_saved", 1},   // archive path
        {"save_preset.enter_name", 0},
        {"save_preset.name", 0},
        {"save_preset.title", 0},
        {"settings.auto_discovery", 0},
        {"settings.device_id_prefix", 0},
        {"settings.error_port", 0},
        {"settings.error_prefix", 0},
        {"settings.generate_prefix", 0},
        {"settings.ip_address", 0},
        {"settings.language", 0},
        {"settings.launch_windows", 0},
        {"settings.port", 0},
        {"settings.prefix_help", 0},
        {"settings.start_minimized_macos", 0},
        {"settings.subtitle", 0},
        {"settings.title", 0},
        {"status.buffer_format", 2},  // sample rate, frames per block
        {"status.command_timeout", 0},
        {"status.command_unavailable_title", 0},
        {"status.engine_created", 0},
        {"status.engine_no_response", 0},
        {"status.error", 0},
        {"status.ready", 0},
        {"status.recovering", 0},
        {"status.running", 0},
        {"status.running_warnings", 0},
        {"status.starting", 0},
        {"status.stopped", 0},
        {"status.stopping", 0},
        {"status.waiting_sync", 0},
        {"status.waiting_vornisel", 0},
        {"telemetry.drops", 1},  // dropped packets
        {"telemetry.drops_empty", 0},
        {"telemetry.latency_blocks", 1},  // block count
        {"telemetry.latency_ms", 1},      // milliseconds
        {"telemetry.latency_recommendation_below_limit", 0},
        {"telemetry.latency_recommendation_lower", 0},
        {"telemetry.latency_recommendation_raise_network", 0},
        {"telemetry.latency_recommendation_raise_pressure", 0},
        {"telemetry.latency_set_hint", 1},  // recommended block count
        {"telemetry.queue", 1},             // queue depth
        {"telemetry.rtt", 1},               // round trip
        {"telemetry.underruns", 1},         // underrun count
        {"telemetry.underruns_empty", 0},
        {"telemetry.queue_empty", 0},
        {"telemetry.rtt_empty", 0},
        {"tray.exit", 0},
        {"tray.hide", 0},
        {"tray.show", 0},
        {"tray.start", 0},
        {"tray.stop", 0},
    };
    return keys;
}

std::map<std::string, std::string> languageTable(const std::string& code) {
    Localizer localizer;
    localizer.addEntries(test::readFile(test::sourceDir() / "resources/lang" / (code + ".ini")));
    return localizer.values;
}

// The placeholder numbers a value uses.
std::set<int> placeholders(const std::string& value) {
    std::set<int> numbers;
    for (size_t open = value.find('{'); open != std::string::npos;
         open = value.find('{', open + 1)) {
        const size_t close = value.find('}', open);
        if (close == std::string::npos) break;
        const std::string inside = value.substr(open + 1, close - open - 1);
        if (!inside.empty() && inside.find_first_not_of("0123456789") == std::string::npos) {
            numbers.insert(std::stoi(inside));
        }
    }
    return numbers;
}

class LanguageFilesTest : public testing::TestWithParam<std::string> {};

TEST_P(LanguageFilesTest, DefinesEveryKeyWithTheCallersArguments) {
    const auto table = languageTable(GetParam());
    EXPECT_EQ(programKeys().size(), 107u);
    for (const auto& [key, arguments] : programKeys()) {
        const auto found = table.find(key);
        if (found == table.end()) {
            ADD_FAILURE() << GetParam() << " lacks " << key;
            continue;
        }
        const std::string& value = found->second;
        EXPECT_FALSE(value.empty()) << key;
        std::set<int> expected;
        for (int i = 0; i < arguments; ++i)
            expected.insert(i);
        EXPECT_EQ(placeholders(value), expected) << GetParam() << ": " << key << "=" << value;
        // The platform rewrite would turn these into other words mid-sentence.
        for (const char* word : {"ASIO", "Windows"}) {
            EXPECT_EQ(value.find(word), std::string::npos) << key << " contains " << word;
        }
        EXPECT_EQ(value.front() == ' ' || value.back() == ' ', false) << key;
    }
    for (const auto& [key, value] : table) {
        EXPECT_TRUE(programKeys().contains(key)) << GetParam() << " defines unused " << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageFilesTest, testing::Values("en", "ru"));

TEST(LanguageFilesTest, RussianIsATranslationNotACopy) {
    const auto english = languageTable("en");
    const auto russian = languageTable("ru");
    int same = 0;
    for (const auto& [key, value] : russian)
        same += english.at(key) == value ? 1 : 0;
    EXPECT_LE(same, 3);  // the product name and the "RTT" abbreviation
}

}  // namespace
}  // namespace vornisel
