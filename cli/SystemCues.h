#pragma once

#include "HotkeyCommands.h"

namespace tsumugiya::cli {

// Plays a cue with the system's sound and returns once it has been heard:
// the command ends right after, and the sound would end with it. Where no
// sound can be played, nothing is heard and nothing fails: the command's
// own output stands.
class SystemCues : public CuePlayer {
  public:
    void Play(Cue cue) override;
};

}  // namespace tsumugiya::cli
