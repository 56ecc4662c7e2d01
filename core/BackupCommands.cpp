#include "BackupCommands.h"

#include "BackupNames.h"
#include "FilePath.h"
#include "Messages.h"

namespace tsumugiya {

using platform::IoError;
using platform::Overwrite;

std::optional<std::string> BackupCommands::SaveFileTime() {
    IoError error;
    auto time = locations_.ReadSaveFileTime(error);
    if (!time) {
        host_.ReportFileError(error);
    }
    return time;
}

CommandResult BackupCommands::CopyToBackup(const std::string& name, Overwrite overwrite) {
    IoError error;
    const auto& folder = locations_.BackupFolder();
    const bool copied =
        !folder.empty() &&
        platform::CopyFileAtomically(locations_.SavePath(), folder / name, overwrite, false, error);
    if (!copied && error.kind == IoError::Kind::TargetExists) {
        host_.Tell(messages::kNameTaken);
        return CommandResult::Failed;
    }
    if (copied) {
        host_.SetStatus(name + std::string(messages::kBackedUpSuffix));
    } else {
        host_.Tell(messages::WithCause(messages::kBackupCopyFailed, error));
    }
    host_.ShowCatalogue();
    return copied ? CommandResult::Done : CommandResult::Failed;
}

CommandResult BackupCommands::OnBackup() {
    const auto time = SaveFileTime();
    if (!time) {
        return CommandResult::Failed;
    }
    const auto name = TimestampedBackupName(locations_.SaveFileName(), *time, host_.MemoText(),
                                            platform::MaxFileNameLength(locations_.BackupFolder()));
    if (!name) {
        host_.Tell(messages::kBackupCopyFailed);
        host_.ShowCatalogue();
        return CommandResult::Failed;
    }
    const auto& folder = locations_.BackupFolder();
    if (!folder.empty() && CFilePath((folder / *name).string()).Exists()) {
        host_.Tell(messages::kNameTaken);
        return CommandResult::Failed;
    }
    return CopyToBackup(*name, Overwrite::Refuse);
}

CommandResult BackupCommands::OnFixedNameBackup() {
    // Only that the save file opens matters here; its time names nothing.
    if (!SaveFileTime()) {
        return CommandResult::Failed;
    }
    return CopyToBackup(FixedBackupName(locations_.SaveFileName()), Overwrite::Allow);
}

CommandResult BackupCommands::OnRestore() {
    const int count = host_.SelectionCount();
    if (count == 0) {
        return CommandResult::NothingToDo;
    }
    if (count >= 2) {
        host_.Tell(messages::kMultipleSelection);
        return CommandResult::Failed;
    }
    const auto sources = host_.SelectedNames(1);
    if (host_.IsConfirmOnRestore() && !host_.AskOkCancel(messages::kConfirmRestore)) {
        return CommandResult::Cancelled;
    }
    const auto& savePath = locations_.SavePath();
    if (!savePath.empty()) {
        platform::RemoveStaleTempFiles(savePath.parent_path());
    }
    // The backup's data is made safe beside the save first, so that a backup
    // that cannot be read costs nothing, not even the previous safety copy.
    // The save file may be a link the user set up; the file behind it is replaced.
    IoError error;
    platform::StagedCopy restored;
    if (sources.empty() || !restored.Prepare(sources.front(), savePath, true, error)) {
        host_.Tell(messages::WithCause(messages::kRestoreCopyFailed, error));
        return CommandResult::Failed;
    }
    // Without a copy of the current state a restore could lose it for good:
    // stop unless there is no save file to lose.
    const std::filesystem::path safety = SafetyCopyPath(savePath);
    const auto keepPrevious = [&] {
        if (platform::KeepPreviousVersion(savePath, safety, error) ||
            error.kind == IoError::Kind::SourceMissing) {
            return true;
        }
        host_.Tell(messages::WithCause(messages::kSafetyCopyFailed, error));
        return false;
    };
    // A save that already holds this backup (a double click, a second run)
    // must not replace the safety copy of the state before it. Should the
    // save change from the comparison on, it is put aside after all.
    const auto checked = platform::IdentityOf(savePath);
    const bool alreadyRestored = checked && platform::EntryExists(safety) &&
                                 platform::HaveSameContent(savePath, sources.front());
    if (!alreadyRestored && !keepPrevious()) {
        return CommandResult::Failed;
    }
    if (alreadyRestored && platform::IdentityOf(savePath) != checked && !keepPrevious()) {
        return CommandResult::Failed;
    }
    if (!restored.Commit(Overwrite::Allow, error)) {
        host_.Tell(messages::WithCause(messages::kRestoreCopyFailed, error));
        return CommandResult::Failed;
    }
    host_.SetStatus(messages::kRestored);
    return CommandResult::Done;
}

CommandResult BackupCommands::OnDelete() {
    const int count = host_.SelectionCount();
    if (count == 0) {
        return CommandResult::NothingToDo;
    }
    const auto paths = host_.SelectedNames(count);
    deleteFailures_.clear();
    CommandResult result = CommandResult::Cancelled;
    if (!paths.empty() && host_.AskOkCancel(messages::kConfirmDelete)) {
        for (const auto& path : paths) {
            IoError error;
            if (!platform::RemoveEntry(path, error)) {
                deleteFailures_.push_back(error);
            }
        }
        result = deleteFailures_.empty() ? CommandResult::Done : CommandResult::Failed;
    }
    host_.ShowCatalogue();
    return result;
}

}  // namespace tsumugiya
