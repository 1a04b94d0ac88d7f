#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/safe_file.h"
#include "model/panel_document.h"

namespace vornisel {

// The store's own failures; what() is the fixed English text ("Unsupported panel settings",
// "Device ID overflow"), which is shown as it is.
class PanelError : public std::runtime_error {
public:
    explicit PanelError(const std::string& text) : std::runtime_error(text) {}
};

// The data directory and the panel document in it. Opening creates the directory and loads
// panel.json, migrates a legacy profiles.json, or starts fresh (firstRun). Callers change
// `document` and call save(). Main thread only.
//
// Throws UnsafeFileError for files and folders that are links, FIFOs, another user's or otherwise
// not what they should be, std::filesystem::filesystem_error / std::system_error for other
// file-system failures,
// DecodeError for unreadable files and PanelError for documents it cannot use.
class PanelStore {
public:
    explicit PanelStore(std::filesystem::path directory);

    // Writes panel.json atomically; on failure the previous file stays as it was.
    void save();

    const std::filesystem::path& directory() const { return directory_; }
    // The data directory, opened once: everything under it is reached from this descriptor.
    const Folder& folder() const { return folder_; }

    // Index of the first preset whose id is `document.active`; 0 when there is none.
    size_t activeIndex() const;

    // The active preset's devices.
    std::vector<Profile>& clients();
    const std::vector<Profile>& clients() const;
    void setClients(std::vector<Profile> clients);

    // The first identifier above settings.prefix that no profile of any preset uses.
    // Throws PanelError("Device ID overflow") when there is none.
    uint32_t nextID();

    // directory/config/<active preset id>/<id>.ini; no file-system access. Throws PanelError
    // ("Unsupported panel settings") when the active id is no folder name (isPresetId).
    std::filesystem::path configURL(const Profile& profile) const;

    // Writes the engine configuration file of `profile` atomically and returns its path.
    std::filesystem::path writeConfig(const Profile& profile);

    PanelDocument document;
    bool firstRun = false;

private:
    void open();
    void migrate(std::vector<Profile> legacy);

    std::filesystem::path directory_;
    Folder folder_;
};

}  // namespace vornisel
