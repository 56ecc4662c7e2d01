#include "AutoBackupTaker.h"

#include "AutoBackupPool.h"
#include "BackupNames.h"
#include "FileTime.h"
#include "Messages.h"

namespace tsumugiya {

using platform::IoError;

namespace {

constexpr int kNameAttempts = 100;

AutoBackupResult ResultOf(AutoBackupResult::Kind kind, std::string backup = {}) {
    AutoBackupResult result;
    result.kind = kind;
    result.backup = std::move(backup);
    return result;
}

AutoBackupResult Failure(IoError error) {
    AutoBackupResult result = ResultOf(AutoBackupResult::Kind::Failed);
    result.error = std::move(error);
    return result;
}

}  // namespace

std::string AutoBackupResult::Line() const {
    std::string line;
    switch (kind) {
        case Kind::Made:
            line = backup + std::string(messages::kBackedUpSuffix);
            if (!pruned.empty()) {
                line += "  " + messages::AutoPruned(pruned);
            }
            // The pool could not be kept: the backup stands all the same.
            if (error) {
                line += "  " + platform::Utf8Of(error->file) + ": " + error->cause;
            }
            return line;
        case Kind::SameState:
            return messages::AlreadyKept(backup);
        case Kind::SaveMissing:
            return std::string(messages::kAutoSaveMissing);
        case Kind::Changing:
            return std::string(messages::kAutoSaveChanging);
        case Kind::Busy:
            return std::string(messages::kAutoBusy);
        case Kind::Failed:
            line = error ? messages::WithCause(messages::kBackupCopyFailed, *error)
                         : std::string(messages::kBackupCopyFailed);
            break;
    }
    for (char& c : line) {
        c = c == '\n' ? ' ' : c;
    }
    return line;
}

AutoBackupResult AutoBackupTaker::Take() {
    const CommandPass pass(gate_);
    return pass.Entered() ? TakeUnguarded() : ResultOf(AutoBackupResult::Kind::Busy);
}

AutoBackupResult AutoBackupTaker::TakeUnguarded() {
    const auto& folder = locations_.BackupFolder();
    if (locations_.SavePath().empty()) {
        return Failure(IoError{IoError::Kind::Other, {}, std::string(messages::kNoSaveFileChosen)});
    }
    if (folder.empty() || !platform::IsDirectory(folder)) {
        return Failure(
            IoError{IoError::Kind::Other, folder, std::string(messages::kNoBackupFolder)});
    }
    // A window and tsumugiya-cli watch see the same write: the second finds
    // the first one's backup, and the ledger is rewritten by one at a time.
    const platform::FolderLock oneAtATime(folder);
    const platform::EntryStatus save = platform::StatusOf(locations_.SavePath());
    if (!save.modificationTime) {
        return ResultOf(AutoBackupResult::Kind::SaveMissing);
    }
    const std::string time = FormatFileTime(*save.modificationTime);
    if (auto holder = Holder(save, time)) {
        return ResultOf(AutoBackupResult::Kind::SameState, std::move(*holder));
    }
    return Copy(time);
}

bool AutoBackupTaker::Holds(const std::string& name) const {
    return HoldsStateOf(locations_.BackupFolder() / platform::PathFromUtf8(name),
                        locations_.SavePath());
}

std::optional<std::string> AutoBackupTaker::Holder(const platform::EntryStatus& save,
                                                   const std::string& time) const {
    const auto& folder = locations_.BackupFolder();
    const std::string& saveName = locations_.SaveFileName();
    // The game may write the same bytes again: only a new time tells.
    if (const std::string newest = AutoBackupPool(folder).Newest(saveName);
        !newest.empty() && Holds(newest)) {
        return newest;
    }
    // A restore writes a backup's bytes and time back; so does a game
    // loaded from a state that is kept. The quick backup is left out: the
    // next quick backup replaces it.
    for (const std::string& name : platform::ListFolder(folder)) {
        if (name == FixedBackupName(saveName) || !MayHoldStateOfTime(name, saveName, time)) {
            continue;
        }
        const platform::EntryStatus status =
            platform::StatusOf(folder / platform::PathFromUtf8(name));
        if (status.size == save.size && status.modificationTime == save.modificationTime &&
            Holds(name)) {
            return name;
        }
    }
    return std::nullopt;
}

AutoBackupResult AutoBackupTaker::Copy(const std::string& time) {
    const auto& folder = locations_.BackupFolder();
    const std::size_t maxName = platform::MaxFileNameLength(folder);
    IoError error;
    // Another state saved within the same second takes the next number.
    for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
        const auto name =
            TimestampedBackupName(locations_.SaveFileName(), time, AutomaticMemo(attempt), maxName);
        if (!name) {
            return Failure(IoError{IoError::Kind::Other, locations_.SavePath(),
                                   std::string(messages::kKeepNameTooLong)});
        }
        const auto target = folder / platform::PathFromUtf8(*name);
        if (platform::CopyFileAtomically(locations_.SavePath(), target, platform::Overwrite::Refuse,
                                         false, error)) {
            AutoBackupResult made = ResultOf(AutoBackupResult::Kind::Made, *name);
            AutoBackupPool::Pruned pruned;
            if (!AutoBackupPool(folder).Add(*name, locations_.SaveFileName(), keep_, pruned,
                                            error)) {
                made.error = error;  // the backup stands; it only stays out of the pool
            }
            made.pruned = std::move(pruned.removed);
            if (!pruned.failures.empty()) {
                made.error = pruned.failures.front();
            }
            return made;
        }
        switch (error.kind) {
            case IoError::Kind::TargetExists:
                if (Holds(*name)) {
                    return ResultOf(AutoBackupResult::Kind::SameState, *name);
                }
                break;
            case IoError::Kind::SourceMissing:
                return ResultOf(AutoBackupResult::Kind::SaveMissing);
            case IoError::Kind::SourceChanged:
                return ResultOf(AutoBackupResult::Kind::Changing);
            case IoError::Kind::Other:
                return Failure(error);
        }
    }
    return Failure(IoError{IoError::Kind::Other, locations_.SavePath(),
                           std::string(messages::kNoFreeKeepName)});
}

}  // namespace tsumugiya
