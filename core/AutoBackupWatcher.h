#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "AppLocations.h"
#include "AutoBackupSettings.h"
#include "AutoBackupTaker.h"
#include "BackupCommands.h"
#include "platform/Platform.h"

namespace tsumugiya {

// Backs the save up each time the game has written it and it has settled.
// It never waits itself: a front-end's event loop waits on Waitable() (a
// socket notifier, MsgWaitForMultipleObjects, poll) and calls OnReady, and
// arms one timer for Deadline() that calls OnTimer. With no deadline nothing
// is pending and nothing runs.
//
// Settled means no write for the settle time, and the save's size and times
// the same at the last write and at the end of that time. A copy refused by
// the gate or spoiled by a write is tried again once the save settles anew.
// A backup that failed (the backup drive away, the disk full) is tried again
// on its own, since the game may not write again: first after the settle
// time, then twice as long after each failed try, up to five minutes (or the
// settle time, if longer). The failure is said once; a success ends the row.
// A save folder that is not there is looked for once every settle time.
class AutoBackupWatcher {
  public:
    using Clock = std::chrono::steady_clock;
    // Looks at the save once it has settled from now: a state written while
    // nothing watched is kept too.
    AutoBackupWatcher(const AppLocations& locations, const AutoBackupSettings& settings,
                      CommandGate& gate, Clock::time_point now = Clock::now());

    // Stays the same while the watcher lives.
    std::intptr_t Waitable() const { return watch_.Waitable(); }
    // The waitable is ready: reads what changed.
    void OnReady(Clock::time_point now = Clock::now());
    // When OnTimer wants to run; absent while there is nothing to wait for.
    std::optional<Clock::time_point> Deadline() const { return deadline_; }
    // Runs what is due by now: a look at the save, a backup, a new try at
    // the folder. What was done, or nothing when there is nothing to say.
    std::optional<AutoBackupResult> OnTimer(Clock::time_point now = Clock::now());
    // A failure said is still unmended: the backups keep failing and are
    // tried again, or the folder cannot be watched.
    bool Failing() const { return retryWait_.count() != 0 || saidUnwatched_; }

  private:
    // What two looks at the save compare: its size and times (on Linux the
    // status change time too, to the nanosecond).
    struct Look {
        std::uint64_t size;
        std::int64_t modified;
        std::optional<platform::FileTimeStamp> changed;
        bool operator==(const Look&) const = default;
    };
    std::optional<Look> LookAtSave() const;
    bool IsSave(const std::string& name) const;
    void Written(Clock::time_point now);
    // The save is not there: said once until it is back.
    std::optional<AutoBackupResult> Missing();

    // The folder could not be watched, for another reason than its absence:
    // said once, with the cause, until a watch starts.
    std::optional<AutoBackupResult> Unwatched();
    // What a taken backup tells: a failure sets the next try and is said
    // only at the first of a row.
    std::optional<AutoBackupResult> Taken(AutoBackupResult result, Clock::time_point now);

    const AppLocations& locations_;
    const std::chrono::milliseconds settle_;
    AutoBackupTaker taker_;
    // The file the game writes: the save, or the file a link as the save
    // leads to, whose folder is the one that changes.
    const std::filesystem::path written_;
    platform::FolderWatch watch_;
    std::optional<Clock::time_point> deadline_;
    std::optional<Look> look_;
    bool saidMissing_ = false;
    bool saidUnwatched_ = false;
    // The wait before the next try of a backup that failed; zero while the
    // last one did not fail.
    std::chrono::milliseconds retryWait_{0};
};

}  // namespace tsumugiya
