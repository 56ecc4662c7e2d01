#include "HotkeyCommands.h"

#include "BackupCatalogue.h"
#include "BackupList.h"
#include "Messages.h"

namespace tsumugiya {

CommandOutcome HotkeyCommands::Run(HotkeyAction action, const std::string& memo) {
    switch (action) {
        case HotkeyAction::Backup:
            return operations_.Backup(memo);
        case HotkeyAction::QuickBackup:
            return operations_.QuickBackup();
        case HotkeyAction::Restore:
            return RestoreNewest();
    }
    return {};
}

CommandOutcome HotkeyCommands::RestoreNewest() {
    MemoryBackupList list;
    const BackupCatalogue catalogue(locations_);
    catalogue.Refresh(list);
    const auto newest = catalogue.NewestCheckpoint(list);
    if (!newest || locations_.BackupFolder().empty()) {
        CommandOutcome outcome;
        outcome.result = CommandResult::Failed;
        outcome.message = messages::NoCheckpointToRestore(locations_.SaveFileName());
        return outcome;
    }
    return operations_.Restore(locations_.BackupFolder() / platform::PathFromUtf8(*newest),
                               RestoreQuestion::Skip);
}

Cue CueOf(const CommandOutcome& outcome) {
    if (outcome.result == CommandResult::Done) {
        return Cue::Done;
    }
    return outcome.alreadyKept ? Cue::AlreadyKept : Cue::Failed;
}

std::string_view SoundThemeEventId(Cue cue) {
    switch (cue) {
        case Cue::Done:
            return "complete";
        case Cue::AlreadyKept:
            return "dialog-information";
        case Cue::Failed:
            break;
    }
    return "dialog-error";
}

std::string_view CueDescription(Cue cue) {
    switch (cue) {
        case Cue::Done:
            return messages::kCueDone;
        case Cue::AlreadyKept:
            return messages::kCueAlreadyKept;
        case Cue::Failed:
            break;
    }
    return messages::kCueFailed;
}

HotkeyReport ReportOf(HotkeyAction action, const CommandOutcome& outcome) {
    HotkeyReport report;
    report.cue = CueOf(outcome);
    report.notificationSummary = std::string(ActionLabel(action));
    if (outcome.result == CommandResult::Done) {
        report.title = outcome.status;
        report.notificationBody = outcome.status;
        if (outcome.keptBeforeRestore) {
            report.notificationBody +=
                "\n" + messages::KeptBeforeRestoreNote(*outcome.keptBeforeRestore);
        }
        return report;
    }
    if (outcome.alreadyKept) {
        report.title = messages::AlreadyKept(outcome.backup);
        report.notificationBody = report.title;
        return report;
    }
    report.notificationBody = outcome.error && outcome.saveUnreadable
                                  ? messages::FileErrorReport(*outcome.error)
                                  : outcome.message;
    // The title holds one line: the fixed text, then the file and the cause.
    report.title = report.notificationBody;
    for (auto& c : report.title) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return report;
}

std::optional<std::string> ElevationHint::OnForeground(bool hotkeysOn, bool foregroundElevated,
                                                       bool selfElevated) {
    if (said_ || !hotkeysOn || !foregroundElevated || selfElevated) {
        return std::nullopt;
    }
    said_ = true;
    return std::string(messages::kElevatedForeground);
}

}  // namespace tsumugiya
