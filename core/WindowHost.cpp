#include "WindowHost.h"

#include "BackupNames.h"
#include "FileTime.h"
#include "MainDialog.h"
#include "Messages.h"

namespace tsumugiya {

int WindowHost::SelectionCount() const {
    return ListShown().SelectedCount();
}

std::vector<std::filesystem::path> WindowHost::SelectedPaths(int max) const {
    return catalogue_.SelectedPaths(ListShown(), max);
}

void WindowHost::ShowCatalogue() {
    catalogue_.Refresh(List());
}

void WindowHost::ShowCatalogueSelecting(const std::string& name) {
    catalogue_.Refresh(List(), name);
}

void WindowHost::ReportFileError(const platform::IoError& error) {
    Tell(messages::FileErrorReport(error));
}

void WindowHost::StartUp(const std::filesystem::path& executable) {
    SetStatus("");
    locations_.InitSettingsPath(executable);
    DressControls();
    locations_.ReadSettings();
    ShowSavePath();
    locations_.InitBackupFolder(executable);
    hotkeys_ = ReadHotkeySettings(locations_.SettingsText());
    autoBackup_ = ReadAutoBackupSettings(locations_.SettingsText());
    FollowAutoBackup();
    const auto refused = GrabHotkeys(ActiveBindings(hotkeys_));
    std::string problems = StartProblems();
    if (const std::string hotkeyProblems = HotkeyProblems(refused); !hotkeyProblems.empty()) {
        problems += (problems.empty() ? "" : "\n\n") + hotkeyProblems;
    }
    if (!problems.empty()) {
        TellOnceShown(problems);
    }
    ShowCatalogue();
}

std::optional<std::string> WindowHost::SaveSettingsAtClose() const {
    // tsumugiya-cli may have chosen another save meanwhile; writing this
    // window's copy back would undo that. Settings the window could not use
    // (and said so at start) stay as the user wrote them, for the user to mend.
    if (locations_.SettingsChangedElsewhere() || !locations_.SettingsProblems().empty()) {
        return std::nullopt;
    }
    platform::IoError error;
    if (locations_.SaveSettings(error)) {
        return std::nullopt;
    }
    return messages::WithCause(messages::kSettingsNotSaved, error);
}

std::size_t WindowHost::MemoRoom() const {
    // What a backup name leaves once the save's name and a time are in it.
    const std::size_t room =
        tsumugiya::MemoRoom(locations_.SaveFileName(), FormatFileTime(0),
                            platform::MaxFileNameLength(locations_.BackupFolder()));
    // With no room at all no backup can be made; that is said when one is tried.
    return room > 0 ? room : kMemoMaxBytes;
}

HotkeyReport WindowHost::OnHotkey(HotkeyAction action) {
    HotkeyCommands hotkeys(locations_, gate_, *this);
    const CommandOutcome outcome = hotkeys.Run(action, MemoText());
    const HotkeyReport report = ReportOf(action, outcome);
    // A refused key must not touch the list a running command is filling.
    if (outcome.result == CommandResult::Done) {
        if (action == HotkeyAction::Restore) {
            ShowCatalogueSelecting(outcome.backup);
        } else {
            ShowCatalogue();
        }
    }
    SetStatus(report.title);
    if (hotkeys_.sound) {
        Cues().Play(report.cue);
    }
    Notify(report);
    return report;
}

std::optional<std::string> WindowHost::ChangeHotkeys(const HotkeySettings& hotkeys) {
    platform::IoError error;
    if (!locations_.SaveSection(kHotkeysSection, HotkeySettingValues(hotkeys), error)) {
        return messages::WithCause(messages::kSettingsNotSaved, error);
    }
    hotkeys_ = hotkeys;
    hotkeys_.problems.clear();  // the values written are the ones shown
    if (const std::string problems = HotkeyProblems(GrabHotkeys(ActiveBindings(hotkeys_)));
        !problems.empty()) {
        Tell(problems);
    }
    return std::nullopt;
}

std::optional<std::string> WindowHost::SetAutoBackup(bool on) {
    // Only the switch: the other values stay as the user wrote them, even
    // those that could not be read.
    platform::IoError error;
    if (!locations_.SaveSection(kAutoBackupSection, {{"enabled", on ? "1" : "0"}}, error)) {
        return messages::WithCause(messages::kSettingsNotSaved, error);
    }
    autoBackup_.enabled = on;
    FollowAutoBackup();
    return std::nullopt;
}

std::string WindowHost::PlainTitle() const {
    std::string title(kMainDialogCaption);
    if (IsAutoBackupOn()) {
        title += watcher_->Failing() ? messages::kAutoBackupFailingTitleMark
                                     : messages::kAutoBackupTitleMark;
    }
    return title;
}

void WindowHost::OnSaveFileChosen() {
    watcher_.reset();
    FollowAutoBackup();
}

void WindowHost::FollowAutoBackup() {
    const bool on = autoBackup_.enabled && !locations_.SavePath().empty();
    if (on && !watcher_) {
        watcher_ = std::make_unique<AutoBackupWatcher>(locations_, autoBackup_, gate_);
    } else if (!on) {
        watcher_.reset();
    }
    WatchAutoBackup(watcher_ ? std::optional(watcher_->Waitable()) : std::nullopt);
    ArmForWatcher();
    ShowPlainTitle();
}

void WindowHost::ArmForWatcher() {
    ArmAutoBackupTimer(watcher_ ? watcher_->Deadline() : std::nullopt);
}

void WindowHost::OnAutoBackupReady() {
    if (watcher_) {
        watcher_->OnReady();
        ArmForWatcher();
    }
}

void WindowHost::OnAutoBackupTimer() {
    if (!watcher_) {
        return;
    }
    const bool wasFailing = watcher_->Failing();
    const auto result = watcher_->OnTimer();
    ArmForWatcher();
    if (result) {
        Present(*result);
    }
    // Retries that fail again say nothing: the title's mark keeps the
    // failure until it is mended.
    if (watcher_->Failing() != wasFailing) {
        ShowPlainTitle();
    }
}

// Each backup shows in the title as a button's does, a failure with the
// failure cue; a skip or a retry to come is no news to a player in a game.
void WindowHost::Present(const AutoBackupResult& result) {
    using Kind = AutoBackupResult::Kind;
    if (result.kind == Kind::Made) {
        // The player's selection stays where it was.
        const auto selected = SelectedPaths(1);
        if (selected.empty()) {
            ShowCatalogue();
        } else {
            ShowCatalogueSelecting(platform::Utf8Of(selected.front().filename()));
        }
    }
    if (result.kind == Kind::Made || result.kind == Kind::SaveMissing || result.Failed()) {
        SetStatus(result.Line());
    }
    if (result.Failed() && hotkeys_.sound) {
        Cues().Play(Cue::Failed);
    }
}

std::string WindowHost::HotkeyProblems(const std::vector<HotkeyAction>& refused) const {
    // The file's unreadable values are named together, with its path.
    std::string text;
    for (const auto* problems : {&hotkeys_.problems, &autoBackup_.problems}) {
        for (const std::string& problem : *problems) {
            text += problem + "\n";
        }
    }
    if (!text.empty()) {
        text += platform::Utf8Of(locations_.SettingsPath());
    }
    if (const auto why = NoGlobalKeys(); why && !refused.empty()) {
        return text + (text.empty() ? "" : "\n\n") + std::string(*why);
    }
    std::vector<std::string> lines;
    for (HotkeyAction action : refused) {
        if (const auto& key = hotkeys_.Key(action)) {
            lines.push_back(std::string(ActionLabel(action)) + ": " + KeyChordText(*key));
        }
    }
    if (!lines.empty()) {
        text += (text.empty() ? "" : "\n\n") + messages::HotkeysNotGiven(lines);
    }
    return text;
}

std::string WindowHost::StartProblems() const {
    std::string problems;
    for (const std::string& problem : locations_.SettingsProblems()) {
        problems += problem + "\n";
    }
    if (!problems.empty()) {
        problems += platform::Utf8Of(locations_.SettingsPath());  // which file to look at
    }
    if (const auto& error = locations_.BackupFolderError()) {
        problems += (problems.empty() ? "" : "\n\n") +
                    messages::WithCause(messages::kBackupFolderMissing, *error);
    }
    return problems;
}

}  // namespace tsumugiya
