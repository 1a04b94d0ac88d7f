#include "app/error_text.h"

#include <cerrno>
#include <filesystem>

#include "l10n/localizer.h"

namespace vornisel {
namespace {

// The reasons a person can act on, in their language; the others keep the system's wording.
std::string reason(const std::error_code& code) {
    switch (code.value()) {
        case EACCES:
        case EPERM:
            return tr("notice.reason_access");
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return tr("notice.reason_space");
        case EISDIR:
        case ENOTDIR:
            return tr("notice.reason_folder");
        case ENOENT:
            return tr("notice.reason_missing");
        case EROFS:
            return tr("notice.reason_read_only");
        default:
            return code.message();
    }
}

}  // namespace

std::string errorText(const std::exception& error) {
    const auto* file = dynamic_cast<const std::filesystem::filesystem_error*>(&error);
    if (!file) return error.what();
    return tr("notice.file_error", file->path1().string(), reason(file->code()));
}

}  // namespace vornisel
