#include "model/panel_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <set>
#include <system_error>

#include "model/atomic_file.h"
#include "model/client_config.h"
#include "model/json_reader.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void throwErrno(const char* what, const fs::path& path) {
    throw fs::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

struct OpenFile {
    // Non-blocking only so that a FIFO in the file's place cannot hang the opening; it is refused
    // right after as no regular file.
    explicit OpenFile(const fs::path& path)
        : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
        if (fd < 0) throwErrno("cannot open", path);
    }
    ~OpenFile() { ::close(fd); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    const int fd;
};

// Reads a stored JSON file whole, refusing sizes no panel document reaches before reading them.
std::string readStoredFile(const fs::path& path) {
    const OpenFile file(path);
    const int fd = file.fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0) throwErrno("cannot inspect", path);
    if (S_ISDIR(info.st_mode)) {
        throw fs::filesystem_error("cannot read", path,
                                   std::make_error_code(std::errc::is_a_directory));
    }
    if (!S_ISREG(info.st_mode)) {
        throwDecodeError(path.filename().string(), "", "is not a regular file and is not read");
    }
    if (static_cast<uintmax_t>(info.st_size) > maxDocumentBytes) {
        throwTooLarge(path.filename().string());
    }
    std::string bytes;
    char buffer[65536];
    while (true) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throwErrno("cannot read", path);
        if (count == 0) return bytes;
        bytes.append(buffer, static_cast<size_t>(count));
        // The file may grow while it is read; the limit holds for what is actually read.
        if (bytes.size() > maxDocumentBytes) {
            throwTooLarge(path.filename().string());
        }
    }
}

}  // namespace

PanelStore::PanelStore(fs::path directory) : directory_(std::move(directory)) {
    open();
}

void PanelStore::open() {
    fs::create_directories(directory_);
    const fs::path panel = directory_ / "panel.json";
    const fs::path legacy = directory_ / "profiles.json";
    // A save killed just before its rename leaves a temporary behind; the next opening sweeps it.
    removeLeftoverTemporaries(panel);
    if (fs::exists(panel)) {
        document = parsePanelDocument(readStoredFile(panel), "panel.json");
    } else if (fs::exists(legacy)) {
        migrate(parseProfileList(readStoredFile(legacy), "profiles.json"));
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
    writeFileAtomically(directory_ / "panel.json", panelJsonText(document));
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
    fs::create_directories(location.parent_path());
    writeFileAtomically(location, clientConfigText(profile));
    return location;
}

}  // namespace vornisel
