#pragma once

#include <filesystem>

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
};

}  // namespace vornisel
