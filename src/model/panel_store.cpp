#include "model/panel_store.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <limits>
#include <set>

#include "model/atomic_file.h"
#include "model/client_config.h"
#include "model/json_reader.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;

// Whether anything stands at `name`, a link included: a link is then refused when it is read,
// never taken for a missing file and replaced.
bool entryExists(const Folder& folder, const char* name) {
    struct stat info {};
    return ::fstatat(folder.fd.get(), name, &info, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

PanelStore::PanelStore(fs::path directory) : directory_(std::move(directory)) {
    open();
}

void PanelStore::open() {
    folder_ = openRootFolder(directory_, true);
    // A save killed just before its rename leaves a temporary behind; the next opening sweeps it.
    removeLeftoverTemporaries(folder_, "panel.json");
    // Read whole, refusing sizes no panel document reaches before reading them; never through a
    // link (a save would replace the link and leave its target stale) and never from a FIFO.
    if (entryExists(folder_, "panel.json")) {
        document =
            parsePanelDocument(readFileIn(folder_, "panel.json", maxDocumentBytes), "panel.json");
    } else if (entryExists(folder_, "profiles.json")) {
        migrate(parseProfileList(readFileIn(folder_, "profiles.json", maxDocumentBytes),
                                 "profiles.json"));
        save();
    } else {
        firstRun = true;
    }
    if (document.version != 2 || document.presets.empty()) {
        throw PanelError("Unsupported panel settings");
    }
    if (activeIndex() == 0 && document.presets.front().id != document.active) {
        document.active = document.presets.front().id;
    }
}

void PanelStore::migrate(std::vector<Profile> legacy) {
    document.presets.front().clients = std::move(legacy);
    const auto& clients = document.presets.front().clients;
    if (clients.empty()) return;
    const Profile& first = clients.front();
    PanelSettings& settings = document.settings;
    settings.discovery = first.server == "auto";
    if (first.server != "auto") settings.server = first.server;
    settings.port = parseDecimal(first.port).value_or(28010);
    settings.prefix = first.id > 1 ? first.id - 1 : 1;
    settings.language = "ru";
}

void PanelStore::save() {
    writeFileAtomically(folder_, "panel.json", panelJsonText(document));
}

size_t PanelStore::activeIndex() const {
    for (size_t i = 0; i < document.presets.size(); ++i) {
        if (document.presets[i].id == document.active) return i;
    }
    return 0;
}

std::vector<Profile>& PanelStore::clients() {
    return document.presets.at(activeIndex()).clients;
}

const std::vector<Profile>& PanelStore::clients() const {
    return document.presets.at(activeIndex()).clients;
}

void PanelStore::setClients(std::vector<Profile> clients) {
    document.presets.at(activeIndex()).clients = std::move(clients);
}

uint32_t PanelStore::nextID() {
    std::set<uint32_t> used;
    for (const Preset& preset : document.presets) {
        for (const Profile& profile : preset.clients)
            used.insert(profile.id);
    }
    // Walk the used identifiers above the prefix in order; the first gap is the answer. This
    // stays fast however many identifiers are taken.
    constexpr uint32_t top = std::numeric_limits<uint32_t>::max();
    uint32_t candidate = document.settings.prefix;
    for (auto it = used.upper_bound(candidate); candidate < top; ++it) {
        ++candidate;
        if (it == used.end() || *it != candidate) return candidate;
    }
    throw PanelError("Device ID overflow");
}

fs::path PanelStore::configURL(const Profile& profile) const {
    // Decoding refuses such identifiers; this keeps every configuration file inside the data
    // directory whatever the document in memory holds.
    if (!isPresetId(document.active)) throw PanelError("Unsupported panel settings");
    return directory_ / "config" / document.active / (std::to_string(profile.id) + ".ini");
}

fs::path PanelStore::writeConfig(const Profile& profile) {
    const fs::path location = configURL(profile);
    // Walked from the data directory's descriptor: a linked "config" or preset folder is refused
    // rather than followed out of the data directory.
    const Folder config = openSubfolder(folder_, "config", true);
    const Folder preset = openSubfolder(config, document.active, true);
    writeFileAtomically(preset, location.filename().string(), clientConfigText(profile));
    return location;
}

}  // namespace vornisel
