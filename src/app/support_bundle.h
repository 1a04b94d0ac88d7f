#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace vornisel {

class ClientRuntime;
class PanelStore;
class Telemetry;
struct Profile;

// One device's support bundle: a folder under "support-bundles" in the data directory with the
// device's configuration, the panel document, the engine's last state, the recorded statistics
// and a summary, and the zip archive made beside it.
class SupportBundle {
public:
    // "<data>/support-bundles/Vornisel-support-<id>-<seconds>-<first six of uuid>".
    SupportBundle(const std::filesystem::path& dataDirectory, uint32_t id, int64_t seconds,
                  std::string_view uuid);

    const std::filesystem::path& folder() const { return folder_; }
    // The folder's path with ".zip" appended.
    std::filesystem::path archive() const;

    // Creates the folder and writes its five files: the configuration freshly rewritten by the
    // store and copied, "panel.json", "snapshot.json", "telemetry.csv", "summary.txt". Throws at
    // the first failure; files written before it stay.
    void write(PanelStore& store, const Profile& profile, const ClientRuntime& runtime) const;

    // The archiver as a program, its arguments and the folder it runs in: "support-bundles", so
    // that the bundle's folder is the archive's one top-level entry.
    struct Command {
        std::filesystem::path executable;
        std::vector<std::string> arguments;
        std::filesystem::path workingDirectory;
    };
    Command archiver() const;

    // The archiving program, "zip" from the search path unless set (tests use a failing one).
    static std::filesystem::path archiverProgram();
    static void setArchiverProgram(std::filesystem::path program);

private:
    std::filesystem::path folder_;
};

// Seconds since 1970 as the shortest decimal text that reads back to the same double, always
// with a fractional part ("12.0", "1733412345.25").
std::string secondsText(double seconds);

// "time," and the statistic names, then one line per sample; lines joined by "\n" with no final
// line feed.
std::string telemetryCsv(const std::deque<Telemetry>& samples);

// Six lines, each ended by a line feed: product, device name, "ID <id>", status, health, latency.
std::string bundleSummary(const Profile& profile, const ClientRuntime& runtime);

// The engine state, pretty-printed. Throws nlohmann::json::type_error for text that is not UTF-8.
std::string snapshotJson(const nlohmann::ordered_json& state);

}  // namespace vornisel
