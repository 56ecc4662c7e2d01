#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string_view>

#include "HotkeyCommands.h"

namespace tsumugiya::ui {

// The window plays its cues in short-lived children of its own program, so
// the sound stack (libcanberra's backends, libpulse, the codecs) never
// loads into the window, which runs all evening beside the game.
inline constexpr std::string_view kPlayCueOption = "--play-cue";

// The cue's name after kPlayCueOption, and back.
std::string_view CueArgument(Cue cue);
std::optional<Cue> CueFromArgument(std::string_view argument);

// The window's side: each cue starts a child, detached and not waited for;
// a cue that comes while another plays starts one more.
class ChildProcessCues : public CuePlayer {
  public:
    // program: this program's own executable.
    explicit ChildProcessCues(const std::filesystem::path& program);

    // A child that cannot start is not reported: the title has the result.
    void Play(Cue cue) override;

  private:
    QString program_;
};

// The child's side, called by main() before any toolkit object exists: when
// the arguments ask for a cue, plays it, waits for it to end and gives the
// exit status (0 once the sound server took the cue). Else nothing.
std::optional<int> PlayCueIfAsked(int argc, char** argv);

}  // namespace tsumugiya::ui
