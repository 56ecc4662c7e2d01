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

namespace {

CommandOutcome Busy() {
    CommandOutcome outcome;
    outcome.result = CommandResult::Busy;
    outcome.message = messages::kBusy;
    return outcome;
}

CommandOutcome Failure(std::string message, std::optional<IoError> error = std::nullopt) {
    CommandOutcome outcome;
    outcome.result = CommandResult::Failed;
    outcome.message = error ? messages::WithCause(message, *error) : std::move(message);
    outcome.error = std::move(error);
    return outcome;
}

// The backup's name is taken, and nothing is written. A name carries the
// state's time to the second and the memo, so another state of that second
// may hold it: only the same bytes there count as kept already.
CommandOutcome NameTaken(const std::string& name, const std::filesystem::path& taken,
                         const std::filesystem::path& save) {
    const bool sameState = HoldsStateOf(taken, save);
    CommandOutcome outcome =
        Failure(std::string(messages::kNameTaken) +
                (sameState ? std::string() : "\n" + messages::NameTakenByOtherState(name)));
    outcome.backup = name;
    outcome.alreadyKept = sameState;
    return outcome;
}

CommandOutcome Success(std::string backup, std::string status) {
    CommandOutcome outcome;
    outcome.result = CommandResult::Done;
    outcome.backup = std::move(backup);
    outcome.status = std::move(status);
    return outcome;
}

}  // namespace

std::optional<std::string> BackupOperations::SaveFileTime(CommandOutcome& outcome) const {
    IoError error;
    auto time = locations_.ReadSaveFileTime(error);
    if (!time) {
        outcome = Failure(messages::FileErrorReport(error));
        outcome.error = error;
        outcome.saveUnreadable = true;
    }
    return time;
}

void BackupOperations::SweepSaveFolder() const {
    if (!locations_.SavePath().empty()) {
        platform::RemoveStaleTempFiles(locations_.SavePath().parent_path());
    }
}

bool BackupOperations::ShowingProgress(
    const std::string& target, const std::function<bool(const platform::CopyProgress*)>& copy) {
    const CopyProgressReport report(voice_, pacing_, target);
    return copy(report.Progress());
}

CommandOutcome BackupOperations::CopyToBackup(const std::string& name, Overwrite overwrite) {
    IoError error;
    const auto& folder = locations_.BackupFolder();
    const bool copied =
        !folder.empty() && ShowingProgress(name, [&](const platform::CopyProgress* progress) {
            return platform::CopyFileAtomically(locations_.SavePath(),
                                                folder / platform::PathFromUtf8(name), overwrite,
                                                false, error, progress);
        });
    if (copied) {
        return Success(name, name + std::string(messages::kBackedUpSuffix));
    }
    if (error.kind == IoError::Kind::TargetExists) {
        return NameTaken(name, folder / platform::PathFromUtf8(name), locations_.SavePath());
    }
    return Failure(std::string(messages::kBackupCopyFailed), error);
}

CommandOutcome BackupOperations::Backup(const std::string& memo) {
    const CommandPass pass(gate_);
    return pass.Entered() ? BackupUnguarded(memo) : Busy();
}

CommandOutcome BackupOperations::BackupUnguarded(const std::string& memo) {
    CommandOutcome outcome;
    const auto time = SaveFileTime(outcome);
    if (!time) {
        return outcome;
    }
    SweepSaveFolder();
    const auto& folder = locations_.BackupFolder();
    const std::size_t maxName = platform::MaxFileNameLength(folder);
    const auto problem = MemoProblem(memo, MemoRoom(locations_.SaveFileName(), *time, maxName));
    const auto name = TimestampedBackupName(locations_.SaveFileName(), *time, memo, maxName);
    if (problem || !name || IsReservedMemo(memo)) {
        return Failure(
            std::string(messages::kBackupCopyFailed) + "\n" +
            problem.value_or(std::string(IsReservedMemo(memo) ? messages::kReservedMemo
                                                              : messages::kNoBackupName)));
    }
    if (const auto taken = folder / platform::PathFromUtf8(*name);
        !folder.empty() && platform::EntryExists(taken)) {
        return NameTaken(*name, taken, locations_.SavePath());
    }
    return CopyToBackup(*name, Overwrite::Refuse);
}

CommandOutcome BackupOperations::QuickBackup() {
    const CommandPass pass(gate_);
    return pass.Entered() ? QuickBackupUnguarded() : Busy();
}

CommandOutcome BackupOperations::QuickBackupUnguarded() {
    // Only that the save file opens matters here; its time names nothing.
    CommandOutcome outcome;
    if (!SaveFileTime(outcome)) {
        return outcome;
    }
    SweepSaveFolder();
    return CopyToBackup(FixedBackupName(locations_.SaveFileName()), Overwrite::Allow);
}

// Another save's backup is never put back unasked, whatever the confirm box says.
bool BackupOperations::AskToRestore(const std::filesystem::path& source, RestoreQuestion question) {
    const std::string name = platform::Utf8Of(source.filename());
    if (!IsBackupOf(name, locations_.SaveFileName())) {
        return voice_.WarnOkCancel(messages::ForeignRestoreQuestion(name, locations_.SavePath()));
    }
    return question == RestoreQuestion::Skip || voice_.AskOkCancel(messages::RestoreQuestion(name));
}

bool HoldsStateOf(const std::filesystem::path& backup, const std::filesystem::path& file) {
    const platform::EntryStatus status = platform::StatusOf(backup);
    const auto backupId = platform::IdentityOf(backup);
    const auto fileId = platform::IdentityOf(file);
    return !status.isLink && status.modificationTime && backupId && fileId &&
           (backupId->device != fileId->device || backupId->inode != fileId->inode) &&
           platform::HaveSameContent(backup, file);
}

bool BackupOperations::SafetyStateHeld(const std::filesystem::path& safety) const {
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
        if (!IsLastingBackupOf(name, locations_.SaveFileName()) ||
            !MayHoldStateOfTime(name, locations_.SaveFileName(), time)) {
            continue;
        }
        const auto path = folder / platform::PathFromUtf8(name);
        const platform::EntryStatus status = platform::StatusOf(path);
        if (status.size == kept.size && status.modificationTime == kept.modificationTime &&
            HoldsStateOf(path, safety)) {
            return true;
        }
    }
    return false;
}

bool BackupOperations::KeepSafetyState(const std::filesystem::path& safety, bool held,
                                       std::optional<std::string>& kept, IoError& error) {
    const platform::EntryStatus state = platform::StatusOf(safety);
    if (held || !state.modificationTime) {
        return true;
    }
    const auto& folder = locations_.BackupFolder();
    if (folder.empty()) {
        error = IoError{IoError::Kind::Other, {}, std::string(messages::kNoBackupFolder)};
        return false;
    }
    const std::string time = FormatFileTime(*state.modificationTime);
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
                kept = *keepName;
                return true;
            }
            if (error.kind != IoError::Kind::TargetExists) {
                return false;
            }
            if (HoldsStateOf(target, safety)) {
                return true;
            }
        }
    }
    error = IoError{IoError::Kind::Other, safety,
                    std::string(nameFits ? messages::kNoFreeKeepName : messages::kKeepNameTooLong)};
    return false;
}

CommandOutcome BackupOperations::Restore(const std::filesystem::path& backup,
                                         RestoreQuestion question) {
    const CommandPass pass(gate_);
    return pass.Entered() ? RestoreUnguarded(backup, question) : Busy();
}

CommandOutcome BackupOperations::RestoreUnguarded(const std::filesystem::path& source,
                                                  RestoreQuestion question) {
    const auto& savePath = locations_.SavePath();
    if (savePath.empty()) {
        return Failure(std::string(messages::kNoSaveFileChosen));
    }
    if (source.empty()) {
        return Failure(std::string(messages::kRestoreCopyFailed));
    }
    if (!AskToRestore(source, question)) {
        CommandOutcome outcome;
        outcome.result = CommandResult::Cancelled;
        return outcome;
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
        return Failure(std::string(messages::kRestoreCopyFailed), error);
    }
    CommandOutcome outcome =
        Success(platform::Utf8Of(source.filename()), std::string(messages::kRestored));
    // A save that already holds this backup (a double click, a second run)
    // must not replace the safety copy of the state before it. Should the
    // save change from the comparison on, it is put aside after all.
    const auto checked = platform::IdentityOf(savePath);
    const bool alreadyRestored =
        checked && platform::EntryExists(safety) && platform::HaveSameContent(savePath, source);
    if (!alreadyRestored || platform::IdentityOf(savePath) != checked) {
        // Whatever the safety copy holds survives in a backup before it is
        // replaced, so no sequence of restores loses a state.
        if (!KeepSafetyState(safety, safetyHeld.get(), outcome.keptBeforeRestore, error)) {
            return Failure(std::string(messages::kKeepBeforeRestoreFailed), error);
        }
        if (!ShowingProgress(platform::Utf8Of(safety.filename()),
                             [&](const platform::CopyProgress* progress) {
                                 return platform::KeepPreviousVersion(savePath, safety, error,
                                                                      progress);
                             }) &&
            error.kind != IoError::Kind::SourceMissing) {
            CommandOutcome failed = Failure(std::string(messages::kSafetyCopyFailed), error);
            failed.keptBeforeRestore = outcome.keptBeforeRestore;
            return failed;
        }
    }
    if (!restored.Commit(Overwrite::Allow, error)) {
        CommandOutcome failed = Failure(std::string(messages::kRestoreCopyFailed), error);
        failed.keptBeforeRestore = outcome.keptBeforeRestore;
        return failed;
    }
    return outcome;
}

CommandOutcome BackupOperations::Delete(const std::vector<std::filesystem::path>& backups) {
    const CommandPass pass(gate_);
    if (!pass.Entered()) {
        return Busy();
    }
    CommandOutcome outcome;
    if (backups.empty()) {
        return outcome;
    }
    outcome.result = CommandResult::Cancelled;
    if (!voice_.AskOkCancel(messages::DeleteQuestion(backups))) {
        return outcome;
    }
    for (const auto& path : backups) {
        IoError error;
        if (!platform::RemoveEntry(path, error)) {
            outcome.deleteFailures.push_back(error);
        }
    }
    if (outcome.deleteFailures.empty()) {
        outcome.result = CommandResult::Done;
        return outcome;
    }
    outcome.result = CommandResult::Failed;
    outcome.message = messages::kDeleteFailed;
    for (const IoError& failure : outcome.deleteFailures) {
        outcome.message = messages::WithCause(outcome.message, failure);
    }
    return outcome;
}

void Present(const CommandOutcome& outcome, CommandVoice& voice) {
    switch (outcome.result) {
        case CommandResult::Done:
            if (!outcome.status.empty()) {
                voice.SetStatus(outcome.status);
            }
            break;
        case CommandResult::Failed:
            if (outcome.saveUnreadable && outcome.error) {
                voice.ReportFileError(*outcome.error);
            } else {
                voice.Tell(outcome.message);
            }
            break;
        case CommandResult::Busy:
            // A passing note: a box would open a second loop inside the first.
            voice.SetStatus(outcome.message);
            break;
        case CommandResult::NothingToDo:
        case CommandResult::Cancelled:
            break;
    }
}

CommandOutcome BackupCommands::Presented(CommandOutcome outcome) {
    Present(outcome, host_);
    // A state kept already or an unreadable save leaves the folder as it was.
    if (outcome.result != CommandResult::Busy && !outcome.alreadyKept && !outcome.saveUnreadable) {
        host_.ShowCatalogue();
    }
    return outcome;
}

CommandOutcome BackupCommands::OnBackup() {
    return Presented(operations_.Backup(host_.MemoText()));
}

CommandOutcome BackupCommands::OnFixedNameBackup() {
    return Presented(operations_.QuickBackup());
}

CommandOutcome BackupCommands::OnRestore() {
    const int count = host_.SelectionCount();
    if (count == 0) {
        return {};
    }
    if (count >= 2) {
        const CommandOutcome outcome = Failure(std::string(messages::kMultipleSelection));
        Present(outcome, host_);
        return outcome;
    }
    const auto sources = host_.SelectedPaths(1);
    const CommandOutcome outcome = operations_.Restore(
        sources.empty() ? std::filesystem::path() : sources.front(),
        host_.IsConfirmOnRestore() ? RestoreQuestion::Ask : RestoreQuestion::Skip);
    Present(outcome, host_);
    // The list gains the kept state, and keeps the restored entry selected.
    if (outcome.result == CommandResult::Done && outcome.keptBeforeRestore) {
        host_.ShowCatalogueSelecting(platform::Utf8Of(sources.front().filename()));
    }
    return outcome;
}

CommandOutcome BackupCommands::OnDelete() {
    if (host_.SelectionCount() == 0) {
        return {};
    }
    const CommandOutcome outcome = operations_.Delete(host_.SelectedPaths(host_.SelectionCount()));
    if (outcome.result != CommandResult::Busy) {
        host_.ShowCatalogue();  // also after Cancel
    }
    Present(outcome, host_);
    return outcome;
}

}  // namespace tsumugiya
