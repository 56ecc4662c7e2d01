#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "AppLocations.h"
#include "BackupList.h"

namespace tsumugiya {

// The backups in the backup folder as the user sees them: newest save state
// first, the newest selected, and a selection turned into full paths.
class BackupCatalogue {
  public:
    explicit BackupCatalogue(const AppLocations& locations) : locations_(locations) {}

    // Lists every entry matching "*.save.*" by modification time, newest
    // first; entries without a readable file time (folders, vanished files)
    // come last. Equal times are ordered by when the entry was made, the
    // last first, then by name. Selects the entry named selected when it is
    // listed, else this save's newest checkpoint, else the first entry.
    // Temporary files that a crash left in the folder are removed in the
    // same pass.
    void Refresh(BackupList& list, std::string_view selected = {}) const;

    // This save's newest checkpoint: the first backup in the list's order
    // that the player made (not one a restore kept on its own), so that
    // going back never lands on a state the player left behind.
    std::optional<std::string> NewestCheckpoint(const BackupList& list) const;

    // True when Refresh would list an entry of this name, found without
    // reading the whole folder.
    bool Lists(const std::string& name) const;

    // True when the name has the listed form "*.save.*".
    static bool MatchesListing(std::string_view name);

    // Full paths of the first max selected entries, in list order.
    std::vector<std::filesystem::path> SelectedPaths(const BackupList& list, int max) const;

  private:
    const AppLocations& locations_;
};

}  // namespace tsumugiya
