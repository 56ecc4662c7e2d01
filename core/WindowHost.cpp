#include "WindowHost.h"

#include "BackupNames.h"
#include "FileTime.h"
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
    if (const std::string problems = StartProblems(); !problems.empty()) {
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
