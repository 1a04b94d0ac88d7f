#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vornisel {

// Launch at login, one per data directory. A freedesktop autostart entry is what a Linux session
// reads at login: the default data directory's is "<label>.desktop", another directory's has a
// name of its own derived from its path and starts the panel with "--data-dir". Every entry
// passes "--autostart", so a panel started at login starts hidden.
//
// The LaunchAgent property list in ~/Library/LaunchAgents, whose location and three keys are part
// of the product's file formats, starts the bundle without arguments, which is the default data
// directory's panel: that directory's login item keeps it in step with its entry, other
// directories leave it alone. Enabling writes (atomically), disabling deletes; file-system errors
// are thrown.
class LoginItem {
public:
    static constexpr const char* label = "com.quelt.vornisel.client";
    // The option the autostart entries pass; see CommandLine::autostart.
    static constexpr const char* autostartOption = "--autostart";

    // `home` is the user's home folder, `bundle` the application folder (VorniselControl.app),
    // `configHome` the XDG configuration folder, and `dataDirectory` the panel's data directory,
    // or nothing for the default one.
    LoginItem(std::filesystem::path home, std::filesystem::path bundle,
              std::filesystem::path configHome,
              std::optional<std::filesystem::path> dataDirectory = std::nullopt);

    // The current user's: $HOME (or the password database), the running bundle, and
    // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
    static LoginItem forCurrentUser(std::optional<std::filesystem::path> dataDirectory);

    // Whether this is the default data directory's item, which also owns the property list.
    bool ownsPropertyList() const { return !dataDirectory_; }

    std::filesystem::path plistPath() const;
    std::filesystem::path autostartPath() const;

    // The XML property list: Label, ProgramArguments ("/usr/bin/open", "-a", bundle), RunAtLoad.
    std::string plistText() const;
    // The desktop entry that starts the panel hidden on its data directory: the installed
    // launcher, else the bundle's program.
    std::string desktopEntryText() const;

    // Throws std::filesystem::filesystem_error / std::system_error. All or nothing: a failed
    // enable leaves none of its files behind, a failed disable leaves them all; deleting files
    // that are not there is not an error.
    void configure(bool enabled) const;

private:
    void enable() const;
    void disable() const;

    std::filesystem::path home_;
    std::filesystem::path bundle_;
    std::filesystem::path configHome_;
    std::optional<std::filesystem::path> dataDirectory_;
};

}  // namespace vornisel
