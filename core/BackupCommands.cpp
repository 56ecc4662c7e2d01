#include "BackupCommands.h"

#include <future>

#include "BackupNames.h"
#include "FilePath.h"
#include "FileTime.h"
#include "Messages.h"

namespace tsumugiya {

using platform::IoError;
using platform::Overwrite;

namespace {

constexpr int kKeepNameAttempts = 100;

}  // namespace

std::optional<std::string> BackupCommands::SaveFileTime() {
    IoError error;
    auto time = locations_.ReadSaveFileTime(error);
    if (!time) {
        host_.ReportFileError(error);
    }
    return time;
}

void BackupCommands::SweepSaveFolder() const {
    if (!locations_.SavePath().empty()) {
        platform::RemoveStaleTempFiles(locations_.SavePath().parent_path());
    }
}

bool BackupCommands::ShowingProgress(
    const std::string& target, const std::function<bool(const platform::CopyProgress*)>& copy) {
    const CopyProgressReport report(host_, pacing_, target);
    return copy(report.Progress());
}

CommandResult BackupCommands::CopyToBackup(const std::string& name, Overwrite overwrite) {
    IoError error;
    const auto& folder = locations_.BackupFolder();
    const bool copied =
        !folder.empty() && ShowingProgress(name, [&](const platform::CopyProgress* progress) {
            return platform::CopyFileAtomically(locations_.SavePath(),
                                                folder / platform::PathFromUtf8(name), overwrite,
                                                false, error, progress);
        });
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
    SweepSaveFolder();
    const std::string memo = host_.MemoText();
    const auto& folder = locations_.BackupFolder();
    const std::size_t maxName = platform::MaxFileNameLength(folder);
    const auto problem = MemoProblem(memo, MemoRoom(locations_.SaveFileName(), *time, maxName));
    const auto name = TimestampedBackupName(locations_.SaveFileName(), *time, memo, maxName);
    if (problem || !name || IsReservedMemo(memo)) {
        host_.Tell(std::string(messages::kBackupCopyFailed) + "\n" +
                   problem.value_or(std::string(IsReservedMemo(memo) ? messages::kReservedMemo
                                                                     : messages::kNoBackupName)));
        host_.ShowCatalogue();
        return CommandResult::Failed;
    }
    if (!folder.empty() && platform::EntryExists(folder / platform::PathFromUtf8(*name))) {
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
    SweepSaveFolder();
    return CopyToBackup(FixedBackupName(locations_.SaveFileName()), Overwrite::Allow);
}

// Another save's backup is never put back unasked, whatever the confirm box says.
bool BackupCommands::AskToRestore(const std::filesystem::path& source) {
    const std::string name = platform::Utf8Of(source.filename());
    if (!IsBackupOf(name, locations_.SaveFileName())) {
        return host_.WarnOkCancel(messages::ForeignRestoreQuestion(name, locations_.SavePath()));
    }
    return !host_.IsConfirmOnRestore() || host_.AskOkCancel(messages::RestoreQuestion(name));
}

namespace {

// Whether the backup at path keeps the safety copy's state for good: a
// regular file of its own, not reached through a link and not the safety
// copy under a second name, holding the same bytes.
bool KeepsSafetyState(const std::filesystem::path& backup, const std::filesystem::path& safety) {
    const platform::EntryStatus status = platform::StatusOf(backup);
    const auto backupId = platform::IdentityOf(backup);
    const auto safetyId = platform::IdentityOf(safety);
    return !status.isLink && status.modificationTime && backupId && safetyId &&
           (backupId->device != safetyId->device || backupId->inode != safetyId->inode) &&
           platform::HaveSameContent(backup, safety);
}

}  // namespace

bool BackupCommands::SafetyStateHeld(const std::filesystem::path& safety) const {
    const platform::EntryStatus kept = platform::StatusOf(safety);
    if (!kept.modificationTime) {
        return true;  // no file there holds a state (none yet, a folder, a dangling link)
    }
    const auto& folder = locations_.BackupFolder();
    // One pass over the names: only lasting backups of this save with the
    // same size and time can keep the same bytes, and only those are read. A
    // name the program made carries its state's time, so one with another
    // time is passed over without reading its status.
    const std::string time = FormatFileTime(*kept.modificationTime);
    for (const std::string& name :
         folder.empty() ? std::vector<std::string>{} : platform::ListFolder(folder)) {
        if (!IsLastingBackupOf(name, locations_.SaveFileName())) {
            continue;
        }
        const std::string_view rest = std::string_view(name).substr(
            locations_.SaveFileName().size() + std::string_view(".save.").size());
        const std::string_view named = rest.substr(0, rest.find('_'));
        if (named != time && IsFileTimeText(named)) {
            continue;
        }
        const auto path = folder / platform::PathFromUtf8(name);
        const platform::EntryStatus status = platform::StatusOf(path);
        if (status.size == kept.size && status.modificationTime == kept.modificationTime &&
            KeepsSafetyState(path, safety)) {
            return true;
        }
    }
    return false;
}

bool BackupCommands::KeepSafetyState(const std::filesystem::path& safety, bool held,
                                     IoError& error) {
    const platform::EntryStatus kept = platform::StatusOf(safety);
    if (held || !kept.modificationTime) {
        return true;
    }
    const auto& folder = locations_.BackupFolder();
    if (folder.empty()) {
        error = IoError{IoError::Kind::Other, {}, std::string(messages::kNoBackupFolder)};
        return false;
    }
    const std::string time = FormatFileTime(*kept.modificationTime);
    const std::size_t maxName = platform::MaxFileNameLength(folder);
    bool nameFits = false;
    // A save whose name leaves no room for the full memo keeps its state
    // under a shorter one rather than stop every restore.
    for (int shortening = 0; shortening < kKeptStateMemoForms; ++shortening) {
        for (int attempt = 1; attempt <= kKeepNameAttempts; ++attempt) {
            const auto keepName = TimestampedBackupName(
                locations_.SaveFileName(), time, KeptStateMemo(attempt, shortening), maxName);
            if (!keepName) {
                break;
            }
            nameFits = true;
            const auto target = folder / platform::PathFromUtf8(*keepName);
            if (ShowingProgress(*keepName, [&](const platform::CopyProgress* progress) {
                    return platform::CopyFileAtomically(safety, target, Overwrite::Refuse, false,
                                                        error, progress);
                })) {
                keptBeforeRestore_ = *keepName;
                return true;
            }
            if (error.kind != IoError::Kind::TargetExists) {
                return false;
            }
            if (KeepsSafetyState(target, safety)) {
                return true;
            }
        }
    }
    error = IoError{IoError::Kind::Other, safety,
                    std::string(nameFits ? messages::kNoFreeKeepName : messages::kKeepNameTooLong)};
    return false;
}

CommandResult BackupCommands::OnRestore() {
    keptBeforeRestore_.reset();
    const int count = host_.SelectionCount();
    if (count == 0) {
        return CommandResult::NothingToDo;
    }
    if (count >= 2) {
        host_.Tell(messages::kMultipleSelection);
        return CommandResult::Failed;
    }
    const auto& savePath = locations_.SavePath();
    if (savePath.empty()) {
        host_.Tell(messages::kNoSaveFileChosen);
        return CommandResult::Failed;
    }
    const auto sources = host_.SelectedNames(1);
    if (sources.empty()) {
        host_.Tell(messages::kRestoreCopyFailed);
        return CommandResult::Failed;
    }
    const std::filesystem::path& source = sources.front();
    if (!AskToRestore(source)) {
        return CommandResult::Cancelled;
    }
    // A second restore of this save (a hotkey pressed twice, the window and
    // the command line) waits here: run side by side, both could keep the
    // same safety copy and lose the state the first put aside.
    const platform::FolderLock oneAtATime(savePath.parent_path());
    SweepSaveFolder();
    // Whether a backup holds the safety copy's state is found out meanwhile:
    // when one may, that reads two whole files, while the copy mostly waits
    // for the disk. Restores here wait for each other, so nothing else
    // changes the safety copy.
    const std::filesystem::path safety = SafetyCopyPath(savePath);
    auto safetyHeld = std::async([this, &safety] { return SafetyStateHeld(safety); });
    // The backup's data is made safe beside the save first, so that a backup
    // that cannot be read costs nothing, not even the previous safety copy.
    // The save file may be a link the user set up; the file behind it is
    // replaced, and keeps its own permissions.
    IoError error;
    platform::StagedCopy restored;
    const std::string saveName = platform::Utf8Of(savePath.filename());
    if (!ShowingProgress(saveName, [&](const platform::CopyProgress* progress) {
            return restored.Prepare(source, savePath, true, platform::Attributes::OfTarget, error,
                                    progress);
        })) {
        host_.Tell(messages::WithCause(messages::kRestoreCopyFailed, error));
        return CommandResult::Failed;
    }
    // A save that already holds this backup (a double click, a second run)
    // must not replace the safety copy of the state before it. Should the
    // save change from the comparison on, it is put aside after all.
    const auto checked = platform::IdentityOf(savePath);
    const bool alreadyRestored =
        checked && platform::EntryExists(safety) && platform::HaveSameContent(savePath, source);
    if (!alreadyRestored || platform::IdentityOf(savePath) != checked) {
        // Whatever the safety copy holds survives in a backup before it is
        // replaced, so no sequence of restores loses a state.
        if (!KeepSafetyState(safety, safetyHeld.get(), error)) {
            host_.Tell(messages::WithCause(messages::kKeepBeforeRestoreFailed, error));
            return CommandResult::Failed;
        }
        if (!ShowingProgress(platform::Utf8Of(safety.filename()),
                             [&](const platform::CopyProgress* progress) {
                                 return platform::KeepPreviousVersion(savePath, safety, error,
                                                                      progress);
                             }) &&
            error.kind != IoError::Kind::SourceMissing) {
            host_.Tell(messages::WithCause(messages::kSafetyCopyFailed, error));
            return CommandResult::Failed;
        }
    }
    if (!restored.Commit(Overwrite::Allow, error)) {
        host_.Tell(messages::WithCause(messages::kRestoreCopyFailed, error));
        return CommandResult::Failed;
    }
    host_.SetStatus(messages::kRestored);
    if (keptBeforeRestore_) {
        host_.ShowCatalogueSelecting(platform::Utf8Of(source.filename()));
    }
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
    if (!paths.empty() && host_.AskOkCancel(messages::DeleteQuestion(paths))) {
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
