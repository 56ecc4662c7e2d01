#include "platform/Causes.h"

#include <cerrno>

namespace tsumugiya::platform {

std::string_view JapaneseText(CommonCause cause) {
    switch (cause) {
        case CommonCause::NoSuchFile:
            return "ファイルまたはフォルダーがありません";
        case CommonCause::AccessDenied:
            return "アクセスが許可されていません";
        case CommonCause::DiskFull:
            return "ディスクの空き容量が足りません";
        case CommonCause::ReadOnlyMedium:
            return "読み取り専用のドライブまたはファイルシステムです";
        case CommonCause::NameTooLong:
            return "ファイル名またはパスが長すぎます";
        case CommonCause::DeviceError:
            return "ディスクの読み書きでエラーが起きました（入出力エラー）";
        case CommonCause::FileInUse:
            return "ほかのプログラムがファイルを使用中です";
        case CommonCause::IsAFolder:
            return "ファイルではなくフォルダーです";
        case CommonCause::NotAFolder:
            return "パスの途中にフォルダーではなくファイルがあります";
        case CommonCause::NameInUse:
            return "同じ名前のファイルかフォルダーがすでにあります";
    }
    return {};
}

std::optional<CommonCause> CommonCauseOfErrno(int err) {
    switch (err) {
        case ENOENT:
            return CommonCause::NoSuchFile;
        case EACCES:
        case EPERM:
            return CommonCause::AccessDenied;
        case ENOSPC:
            return CommonCause::DiskFull;
        case EROFS:
            return CommonCause::ReadOnlyMedium;
        case ENAMETOOLONG:
            return CommonCause::NameTooLong;
        case EIO:
            return CommonCause::DeviceError;
        case ETXTBSY:
        case EBUSY:
            return CommonCause::FileInUse;
        case EISDIR:
            return CommonCause::IsAFolder;
        case ENOTDIR:
            return CommonCause::NotAFolder;
        case EEXIST:
            return CommonCause::NameInUse;
        default:
            return std::nullopt;
    }
}

}  // namespace tsumugiya::platform
