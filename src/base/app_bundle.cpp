#include "base/app_bundle.h"

#include <optional>

namespace vornisel {
namespace {

std::optional<std::filesystem::path>& overridden() {
    static std::optional<std::filesystem::path> folder;
    return folder;
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

void AppBundle::setLocation(const std::filesystem::path& folder) {
    overridden() = folder;
}

}  // namespace vornisel
