#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vornisel {

// The relocatable application folder "VorniselControl.app": the program and the engine host in
// Contents/MacOS, language files and icon in Contents/Resources. It is found from the running
// executable's own path, so the folder can be moved anywhere; tests may point it elsewhere.
class AppBundle {
public:
    // The bundle folder: set explicitly, or three levels above the running executable.
    static std::filesystem::path location();
    static void setLocation(const std::filesystem::path& folder);

    // The bundle folder that holds `executable` (which lives in Contents/MacOS).
    static std::filesystem::path fromExecutable(const std::filesystem::path& executable);

    static std::filesystem::path executables() { return location() / "Contents" / "MacOS"; }
    static std::filesystem::path resources() { return location() / "Contents" / "Resources"; }

    // The desktop's name for the application: its menu entry, its icon in the icon theme, its
    // metainfo, and the login item's file names.
    static constexpr const char* applicationId = "com.quelt.vornisel.client";

    // An installation puts the bundle at PREFIX/lib/vornisel-control/VorniselControl.app and its
    // launcher at PREFIX/bin/vornisel-control. The launcher, when `bundle` is installed so and
    // the launcher starts the bundle's program; nothing for a bundle elsewhere (a build folder).
    static std::optional<std::filesystem::path> installedLauncher(
        const std::filesystem::path& bundle);
    // The name of the icon the installation put into the desktop's icon theme, when it did.
    static std::optional<std::string> installedIconName(const std::filesystem::path& bundle);
};

}  // namespace vornisel
