#pragma once

// The causes of failed file operations that users meet most often, in
// Japanese whatever language the system speaks. Each platform maps its own
// error codes onto them (see ErrnoCause and win32::ErrorText).

#include <optional>
#include <string_view>

namespace tsumugiya::platform {

enum class CommonCause {
    NoSuchFile,
    AccessDenied,
    DiskFull,
    ReadOnlyMedium,
    NameTooLong,
    DeviceError,
    FileInUse,
    IsAFolder,   // a file was wanted: a save file picked that is a folder
    NotAFolder,  // a folder on the way is a file (a backup folder replaced)
    NameInUse,   // a folder to make has a file of its name in the way
};

std::string_view JapaneseText(CommonCause cause);

// The common cause a C library error number (errno) stands for, if any.
std::optional<CommonCause> CommonCauseOfErrno(int err);

}  // namespace tsumugiya::platform
