#pragma once

#include <filesystem>
#include <string>

namespace vornisel {

// Launch at login. Two registrations are kept in step: the LaunchAgent property list in
// ~/Library/LaunchAgents, whose location and three keys are part of the product's file formats,
// and a freedesktop autostart entry, which is what a Linux session actually reads at login.
// Enabling writes both (atomically), disabling deletes both; file-system errors are thrown.
class LoginItem {
public:
    static constexpr const char* label = "com.quelt.vornisel.client";

    // `home` is the user's home folder, `bundle` the application folder (VorniselControl.app)
    // and `configHome` the XDG configuration folder.
    LoginItem(std::filesystem::path home, std::filesystem::path bundle,
              std::filesystem::path configHome);

    // The current user's: $HOME (or the password database), the running bundle, and
    // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
    static LoginItem forCurrentUser();

    std::filesystem::path plistPath() const;
    std::filesystem::path autostartPath() const;

    // The XML property list: Label, ProgramArguments ("/usr/bin/open", "-a", bundle), RunAtLoad.
    std::string plistText() const;
    // The desktop entry that starts the panel: the installed launcher, else the bundle's program.
    std::string desktopEntryText() const;

    // Throws std::filesystem::filesystem_error / std::system_error. All or nothing: a failed
    // enable leaves neither file behind, a failed disable leaves both; deleting files that are not
    // there is not an error.
    void configure(bool enabled) const;

private:
    void enable() const;
    void disable() const;

    std::filesystem::path home_;
    std::filesystem::path bundle_;
    std::filesystem::path configHome_;
};

}  // namespace vornisel
