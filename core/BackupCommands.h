#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "AppLocations.h"
#include "CommandHost.h"
#include "CopyProgressReport.h"

namespace tsumugiya {

enum class CommandResult {
    Done,
    NothingToDo,  // nothing was selected
    Cancelled,    // the user said no
    Failed,       // refused or failed (a failed deletion is not told, as it loses nothing)
};

// The four things the program is for: back the save file up under a
// timestamped or a fixed name, put a backup back over it, delete backups.
class BackupCommands {
  public:
    BackupCommands(const AppLocations& locations, CommandHost& host, ProgressPacing pacing = {})
        : locations_(locations), host_(host), pacing_(std::move(pacing)) {}

    CommandResult OnBackup();
    CommandResult OnFixedNameBackup();
    CommandResult OnRestore();
    CommandResult OnDelete();

    // What the last OnDelete could not remove, each with its cause. A failed
    // deletion loses nothing, so the front-end decides how to say it.
    const std::vector<platform::IoError>& DeleteFailures() const { return deleteFailures_; }
    // The backup the last OnRestore made of the safety copy's state before
    // replacing it, when no backup held that state yet.
    const std::optional<std::string>& KeptBeforeRestore() const { return keptBeforeRestore_; }

  private:
    // The save file's time text, or absent once its file error is reported.
    std::optional<std::string> SaveFileTime();
    CommandResult CopyToBackup(const std::string& name, platform::Overwrite overwrite);
    // Runs a copy into the file named target, its progress shown while it
    // runs and ended before the caller says how it went.
    bool ShowingProgress(const std::string& target,
                         const std::function<bool(const platform::CopyProgress*)>& copy);
    // Removes what copies killed midway left in the save file's folder.
    void SweepSaveFolder() const;
    bool AskToRestore(const std::filesystem::path& source);
    // Whether the safety copy holds no state, or one that a backup of this
    // save holds too.
    bool SafetyStateHeld(const std::filesystem::path& safety) const;
    // Makes sure a backup of this save holds the safety copy's state: one
    // is made unless held says there is one.
    bool KeepSafetyState(const std::filesystem::path& safety, bool held, platform::IoError& error);

    const AppLocations& locations_;
    CommandHost& host_;
    const ProgressPacing pacing_;
    std::vector<platform::IoError> deleteFailures_;
    std::optional<std::string> keptBeforeRestore_;
};

}  // namespace tsumugiya
