#include "base/app_bundle.h"

#include <optional>

namespace vornisel {
namespace {

std::optional<std::filesystem::path>& overridden() {
    static std::optional<std::filesystem::path> folder;
    return folder;
}

// PREFIX for a bundle at PREFIX/lib/vornisel-control/VorniselControl.app.
std::optional<std::filesystem::path> installPrefix(const std::filesystem::path& bundle) {
    const auto folder = bundle.lexically_normal().parent_path();
    if (folder.filename() != "vornisel-control" || folder.parent_path().filename() != "lib") {
        return std::nullopt;
    }
    return folder.parent_path().parent_path();
}

}  // namespace

std::filesystem::path AppBundle::fromExecutable(const std::filesystem::path& executable) {
    return executable.parent_path().parent_path().parent_path();
}

std::filesystem::path AppBundle::location() {
    if (overridden()) return *overridden();
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return fromExecutable(self);
}

std::optional<std::filesystem::path> AppBundle::installedLauncher(
    const std::filesystem::path& bundle) {
    const auto prefix = installPrefix(bundle);
    if (!prefix) return std::nullopt;
    const auto launcher = *prefix / "bin" / "vornisel-control";
    std::error_code error;
    if (!std::filesystem::equivalent(launcher, bundle / "Contents" / "MacOS" / "vornisel-control",
                                     error)) {
        return std::nullopt;
    }
    return launcher;
}

std::optional<std::string> AppBundle::installedIconName(const std::filesystem::path& bundle) {
    const auto prefix = installPrefix(bundle);
    std::error_code error;
    if (!prefix || !std::filesystem::is_regular_file(*prefix / "share/icons/hicolor/256x256/apps" /
                                                         (std::string(applicationId) + ".png"),
                                                     error)) {
        return std::nullopt;
    }
    return applicationId;
}

void AppBundle::setLocation(const std::filesystem::path& folder) {
    overridden() = folder;
}

}  // namespace vornisel
