#include "app/support_bundle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <system_error>
#include <utility>

#include "base/safe_file.h"
#include "engine/client_runtime.h"
#include "engine/telemetry.h"
#include "model/atomic_file.h"
#include "model/client_config.h"
#include "model/panel_store.h"
#include "model/profile.h"

namespace vornisel {

namespace {

std::filesystem::path& archiverOverride() {
    static std::filesystem::path program;
    return program;
}

// The archive-side files are written in place: the folder is new and private to this export,
// so no reader can see them half written.
void writePlainFile(const Folder& folder, const std::string& name, std::string_view bytes) {
    const FileDescriptor file = openFileIn(folder, name, O_WRONLY | O_CREAT | O_TRUNC);
    while (!bytes.empty()) {
        const ssize_t written = ::write(file.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            throw std::system_error(errno, std::generic_category(),
                                    "cannot write " + (folder.path / name).string());
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

std::string sampleLine(const Telemetry& sample) {
    // Whole seconds and the fraction apart: as one count of nanoseconds the time has more digits
    // than a double holds, and a quarter second would come out as .2499998.
    const auto sinceEpoch = sample.time.time_since_epoch();
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    const double seconds = static_cast<double>(whole.count()) +
                           std::chrono::duration<double>(sinceEpoch - whole).count();
    std::string line = secondsText(seconds);
    for (size_t i = 0; i < Telemetry::fields().size(); ++i) {
        line += ',';
        line += std::to_string(sample.at(i));
    }
    return line;
}

}  // namespace

SupportBundle::SupportBundle(const std::filesystem::path& dataDirectory, uint32_t id,
                             int64_t seconds, std::string_view uuid)
    : folder_(dataDirectory / "support-bundles" /
              ("Vornisel-support-" + std::to_string(id) + "-" + std::to_string(seconds) + "-" +
               std::string(uuid.substr(0, 6)))) {}

std::filesystem::path SupportBundle::archive() const {
    std::filesystem::path path = folder_;
    path += ".zip";
    return path;
}

void SupportBundle::write(PanelStore& store, const Profile& profile,
                          const ClientRuntime& runtime) const {
    store.writeConfig(profile);
    // Walked from the data directory's descriptor: a linked "support-bundles" is refused, so
    // no copy of panel.json lands outside the data directory.
    const Folder bundles = openSubfolder(store.folder(), "support-bundles", true);
    const Folder folder = openSubfolder(bundles, folder_.filename().string(), true);
    writePlainFile(folder, "client.ini", clientConfigText(profile));
    writePlainFile(folder, "panel.json", panelJsonText(store.document));
    writePlainFile(folder, "snapshot.json", snapshotJson(runtime.state));
    writeFileAtomically(folder, "telemetry.csv", telemetryCsv(runtime.samples));
    writeFileAtomically(folder, "summary.txt", bundleSummary(profile, runtime));
}

SupportBundle::Command SupportBundle::archiver() const {
    const std::string name = folder_.filename().string();
    return {archiverProgram(), {"-q", "-r", name + ".zip", name}, folder_.parent_path()};
}

std::filesystem::path SupportBundle::archiverProgram() {
    return archiverOverride().empty() ? std::filesystem::path("zip") : archiverOverride();
}

void SupportBundle::setArchiverProgram(std::filesystem::path program) {
    archiverOverride() = std::move(program);
}

std::string secondsText(double seconds) {
    char buffer[512];
    // Fixed notation without a precision is the shortest text that round-trips.
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
    std::string text(buffer, result.ec == std::errc() ? result.ptr : buffer);
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
}

std::string telemetryCsv(const std::deque<Telemetry>& samples) {
    std::string csv = "time";
    for (const std::string& name : Telemetry::fields()) {
        csv += ',';
        csv += name;
    }
    for (const Telemetry& sample : samples) {
        csv += '\n';
        csv += sampleLine(sample);
    }
    return csv;
}

std::string bundleSummary(const Profile& profile, const ClientRuntime& runtime) {
    return "Vornisel Control \u2014 Linux\n" + profile.name + "\nID " + std::to_string(profile.id) +
           "\n" + runtime.status() + "\n" + runtime.health() + "\n" + runtime.latency(profile) +
           "\n";
}

std::string snapshotJson(const nlohmann::ordered_json& state) {
    return state.dump(2);
}

}  // namespace vornisel
