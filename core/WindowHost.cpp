#include "WindowHost.h"

#include "BackupNames.h"
#include "FileTime.h"
#include "Messages.h"

namespace tsumugiya {

WindowHost::WindowHost(const AppLocations& locations, BackupList& list)
    : locations_(locations), catalogue_(locations), list_(list) {}

int WindowHost::SelectionCount() const {
    return list_.SelectedCount();
}

std::vector<std::filesystem::path> WindowHost::SelectedPaths(int max) const {
    return catalogue_.SelectedPaths(list_, max);
}

void WindowHost::ShowCatalogue() {
    catalogue_.Refresh(list_);
}

void WindowHost::ShowCatalogueSelecting(const std::string& name) {
    catalogue_.Refresh(list_, name);
}

void WindowHost::ReportFileError(const platform::IoError& error) {
    Tell(messages::FileErrorReport(error));
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
