#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "AppLocations.h"
#include "BackupCommands.h"
#include "Hotkeys.h"

namespace tsumugiya {

// The sounds that tell a player in a game how a command went.
enum class Cue {
    Done,
    AlreadyKept,  // a backup of this state was there already
    Failed,
};

// Where a front-end plays a cue: the one seam between the choice of cue and
// the system's sound, so that tests can record what would be heard.
class CuePlayer {
  public:
    virtual ~CuePlayer() = default;
    virtual void Play(Cue cue) = 0;
};

// What the cue means, in words, for the sound's description.
std::string_view CueDescription(Cue cue);

// What a hotkey's result shows without a box: the title's text, the cue,
// and the desktop notification's lines.
struct HotkeyReport {
    Cue cue = Cue::Failed;
    std::string title;
    std::string notificationSummary;
    std::string notificationBody;
};

// The global hotkeys' commands: run while the player is in a game, so they
// never ask or open a box. Backup takes the memo the window shows; Restore
// puts back this save's newest checkpoint without the question, the state
// before it kept as every restore keeps it. They share the window's gate, so
// a key pressed during another command is refused, never nested.
class HotkeyCommands {
  public:
    HotkeyCommands(const AppLocations& locations, CommandGate& gate, CommandVoice& progress,
                   ProgressPacing pacing = {})
        : locations_(locations), voice_(progress), operations_(locations, voice_, gate, pacing) {}

    CommandOutcome Run(HotkeyAction action, const std::string& memo);

  private:
    // Never a box: questions are agreed to (there is one, the restore's),
    // progress and status go to the window's own voice.
    class NoBoxVoice : public QuietVoice {
      public:
        explicit NoBoxVoice(CommandVoice& window) : QuietVoice(true), window_(window) {}
        void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) override {
            window_.ShowProgress(text, done, total);
        }

      private:
        CommandVoice& window_;
    };

    CommandOutcome RestoreNewest();

    const AppLocations& locations_;
    NoBoxVoice voice_;
    BackupOperations operations_;
};

// The cue of a command's outcome, wherever it was started from: a backup
// whose name exists (the save has not changed since) is not a failure, the
// state is kept already.
Cue CueOf(const CommandOutcome& outcome);

// The freedesktop sound theme's event for a cue, as desktop sound services
// and notification servers name their sounds.
std::string_view SoundThemeEventId(Cue cue);

// The cue and texts for what a hotkey did.
HotkeyReport ReportOf(HotkeyAction action, const CommandOutcome& outcome);

// Says once that hotkeys cannot reach the program in front: a game run as
// administrator hides its keys from a program that is not.
class ElevationHint {
  public:
    // Called when another window comes to the front; the text to show, once.
    std::optional<std::string> OnForeground(bool hotkeysOn, bool foregroundElevated,
                                            bool selfElevated);

  private:
    bool said_ = false;
};

}  // namespace tsumugiya
