#pragma once

#include <optional>
#include <string>
#include <vector>

#include "AppLocations.h"
#include "BackupCommands.h"
#include "CommandHost.h"
#include "platform/Platform.h"

namespace tsumugiya {

// What one automatic backup did, or why it wrote nothing.
struct AutoBackupResult {
    enum class Kind {
        Made,         // a new automatic backup is committed
        SameState,    // a backup holds these bytes already: nothing written
        SaveMissing,  // no save to copy: waited for, not an error
        Changing,     // the save kept changing while copied: tried at the next settle
        Busy,         // another command held the gate: tried at the next settle
        Failed,
    };
    Kind kind = Kind::Failed;
    std::string backup;  // the backup made, or the one that holds the state
    std::vector<std::string> pruned;
    std::optional<platform::IoError> error;
    // One line for a terminal or a title.
    std::string Line() const;
    // Something went wrong, also when a backup was made but its pool could
    // not be kept: the cause is in the line.
    bool Failed() const { return kind == Kind::Failed || error.has_value(); }
};

// Takes one automatic backup of the save as it is now, under the shared gate
// and the backup folder's lock (a window and tsumugiya-cli watch may both
// run): skipped when a backup of this save holds the same bytes, else
// copied commit-or-nothing as "<save>.save.<time>_自動" and added to the
// pool, which then prunes.
class AutoBackupTaker {
  public:
    AutoBackupTaker(const AppLocations& locations, CommandGate& gate, int keep)
        : locations_(locations), gate_(gate), keep_(keep) {}

    AutoBackupResult Take();

  private:
    AutoBackupResult TakeUnguarded();
    // The backup of this save that holds the save's bytes: the newest
    // automatic one (whatever its time) or any of the same size and time.
    std::optional<std::string> Holder(const platform::EntryStatus& save,
                                      const std::string& time) const;
    bool Holds(const std::string& name) const;
    AutoBackupResult Copy(const std::string& time);

    const AppLocations& locations_;
    CommandGate& gate_;
    const int keep_;
};

}  // namespace tsumugiya
