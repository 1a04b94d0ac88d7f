#include "l10n/error_text.h"

#include <cerrno>
#include <filesystem>

#include "base/safe_file.h"

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

std::string reason(const UnsafeFileError& error) {
    switch (error.why()) {
        case UnsafeReason::link:
            return tr("notice.reason_link");
        case UnsafeReason::folder:
            return tr("notice.reason_folder");
        case UnsafeReason::notFolder:
            return tr("notice.reason_not_folder");
        case UnsafeReason::special:
            return tr("notice.reason_special");
        case UnsafeReason::otherUser:
            return tr("notice.reason_other_user");
        case UnsafeReason::notPlainName:
            return tr("notice.reason_not_plain_name");
        case UnsafeReason::tooLarge:
            return tr("notice.reason_too_large");
        case UnsafeReason::system:
            break;
    }
    return reason(std::error_code(error.error(), std::generic_category()));
}

}  // namespace

std::string errorText(const std::exception& error) {
    if (const auto* file = dynamic_cast<const std::filesystem::filesystem_error*>(&error))
        return tr("notice.file_error", file->path1().string(), reason(file->code()));
    if (const auto* file = dynamic_cast<const UnsafeFileError*>(&error))
        return tr("notice.file_error", file->path().string(), reason(*file));
    return error.what();
}

}  // namespace vornisel
