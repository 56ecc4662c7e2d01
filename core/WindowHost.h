#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "AppLocations.h"
#include "BackupCatalogue.h"
#include "BackupCommands.h"
#include "BackupList.h"
#include "CommandHost.h"

namespace tsumugiya {

// What a window does for the commands whatever its toolkit: the backup list
// through the catalogue, every question in a box, every report in a box
// (Tell). The window brings the list control, the boxes and the title.
class WindowHost : public CommandHost {
  public:
    // list is the window's own list control; it is used only once the
    // window is built.
    WindowHost(const AppLocations& locations, BackupList& list);

    int SelectionCount() const override;
    std::vector<std::filesystem::path> SelectedPaths(int max) const override;
    // A window has no --yes: the warning is one more box.
    bool WarnOkCancel(std::string_view text) override { return AskOkCancel(text); }
    void ShowCatalogue() override;
    void ShowCatalogueSelecting(const std::string& name) override;
    void ReportFileError(const platform::IoError& error) override;

  protected:
    // Deletes the selected backups. A failure loses nothing, but the user
    // should not think it happened: what stayed is told with the outcome.
    void DeleteSelected(BackupCommands& commands) { commands.OnDelete(); }
    // How many bytes of memo a backup name can still take.
    std::size_t MemoRoom() const;
    // What the settings file and the backup folder got wrong at start, to be
    // told once the window is up; empty when nothing did.
    std::string StartProblems() const;

  private:
    const AppLocations& locations_;
    BackupCatalogue catalogue_;
    BackupList& list_;
};

}  // namespace tsumugiya
