#pragma once

#include <filesystem>
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
    Failed,       // refused or failed
    Busy,         // another command was running: this one never started
};

// What one command did, for its front-end to present.
struct CommandOutcome {
    CommandResult result = CommandResult::NothingToDo;
    // The backup made, or put back.
    std::string backup;
    // The backup a restore made of the safety copy's state before replacing
    // it, when no lasting backup held that state yet.
    std::optional<std::string> keptBeforeRestore;
    // A backup of this name was there already: the save's state is kept.
    bool alreadyKept = false;
    // What a success says (the window title).
    std::string status;
    // What a failure or refusal says, its fixed text first.
    std::string message;
    // The file and cause of a failure, when known.
    std::optional<platform::IoError> error;
    // The failure is the save file's, that cannot be opened: reported as a
    // file error, before anything was copied.
    bool saveUnreadable = false;
    // What a deletion could not remove, each with its cause.
    std::vector<platform::IoError> deleteFailures;
};

// Held by the command that runs; a trigger arriving meanwhile (a hotkey or a
// timer let through while a long copy paints the window) is refused, never
// nested. Front-ends that start commands from several places share one.
class CommandGate {
  public:
    bool Busy() const { return busy_; }

  private:
    friend class CommandPass;
    bool busy_ = false;
};

// Held for the length of one command; not entered while another holds the gate.
class CommandPass {
  public:
    explicit CommandPass(CommandGate& gate) : gate_(gate), entered_(!gate.busy_) {
        gate_.busy_ = true;
    }
    CommandPass(const CommandPass&) = delete;
    CommandPass& operator=(const CommandPass&) = delete;
    ~CommandPass() {
        if (entered_) {
            gate_.busy_ = false;
        }
    }
    bool Entered() const { return entered_; }

  private:
    CommandGate& gate_;
    const bool entered_;
};

// Whether the restore question is asked; another save's backup is warned of
// in any case.
enum class RestoreQuestion { Ask, Skip };

// The four things the program is for, with their inputs and outcomes: back
// the save file up under a timestamped or a fixed name, put a backup back
// over it, delete backups. They ask through the voice and tell progress to
// it; what they did is in the outcome, for the caller to present.
class BackupOperations {
  public:
    BackupOperations(const AppLocations& locations, CommandVoice& voice, CommandGate& gate,
                     ProgressPacing pacing = {})
        : locations_(locations), voice_(voice), gate_(gate), pacing_(std::move(pacing)) {}

    CommandOutcome Backup(const std::string& memo);
    CommandOutcome QuickBackup();
    CommandOutcome Restore(const std::filesystem::path& backup, RestoreQuestion question);
    CommandOutcome Delete(const std::vector<std::filesystem::path>& backups);

  private:
    CommandOutcome BackupUnguarded(const std::string& memo);
    CommandOutcome QuickBackupUnguarded();
    CommandOutcome RestoreUnguarded(const std::filesystem::path& source, RestoreQuestion question);
    // The save file's time text, or absent (outcome filled in) when it cannot be opened.
    std::optional<std::string> SaveFileTime(CommandOutcome& outcome) const;
    CommandOutcome CopyToBackup(const std::string& name, platform::Overwrite overwrite);
    // Runs a copy into the file named target, its progress shown while it
    // runs and ended before the caller says how it went.
    bool ShowingProgress(const std::string& target,
                         const std::function<bool(const platform::CopyProgress*)>& copy);
    // Removes what copies killed midway left in the save file's folder.
    void SweepSaveFolder() const;
    bool AskToRestore(const std::filesystem::path& source, RestoreQuestion question);
    // Whether the safety copy holds no state, or one that a lasting backup of
    // this save holds too.
    bool SafetyStateHeld(const std::filesystem::path& safety) const;
    // Makes sure a lasting backup of this save holds the safety copy's state:
    // one is made (and named in kept) unless held says there is one.
    bool KeepSafetyState(const std::filesystem::path& safety, bool held,
                         std::optional<std::string>& kept, platform::IoError& error);

    const AppLocations& locations_;
    CommandVoice& voice_;
    CommandGate& gate_;
    const ProgressPacing pacing_;
};

// The buttons' handlers: each reads what it needs from the window (the memo,
// the confirm box, the selection), runs one operation and presents its
// outcome there.
class BackupCommands {
  public:
    // A window whose commands start only from its own buttons keeps its gate
    // here; one with other triggers passes the gate they share.
    BackupCommands(const AppLocations& locations, CommandHost& host, ProgressPacing pacing = {})
        : host_(host), operations_(locations, host, ownGate_, std::move(pacing)) {}
    BackupCommands(const AppLocations& locations, CommandHost& host, CommandGate& gate,
                   ProgressPacing pacing = {})
        : host_(host), operations_(locations, host, gate, std::move(pacing)) {}
    BackupCommands(const BackupCommands&) = delete;
    BackupCommands& operator=(const BackupCommands&) = delete;

    CommandOutcome OnBackup();
    CommandOutcome OnFixedNameBackup();
    CommandOutcome OnRestore();
    CommandOutcome OnDelete();

  private:
    // A backup's outcome in the window: the title or a box, then the list
    // unless nothing could have changed in the folder.
    CommandOutcome Presented(CommandOutcome outcome);

    CommandHost& host_;
    CommandGate ownGate_;
    BackupOperations operations_;
};

// Whether the backup at path keeps the file's state for good: a regular file
// of its own, not reached through a link and not the file under a second
// name, holding the same bytes.
bool HoldsStateOf(const std::filesystem::path& backup, const std::filesystem::path& file);

// Says an outcome the way every front-end does: the status on success, the
// file error or the message on failure; nothing for a question said no to.
void Present(const CommandOutcome& outcome, CommandVoice& voice);

}  // namespace tsumugiya
