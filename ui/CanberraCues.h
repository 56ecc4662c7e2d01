#pragma once

#include "HotkeyCommands.h"

struct ca_context;

namespace tsumugiya::ui {

// The cues through libcanberra, as the desktop's sound theme has them; used
// by the cue's own child process (CueChild.h), never by the window. The
// sound server is reached at the first cue, not before, and its context is
// kept until the process ends.
class CanberraCues : public CuePlayer {
  public:
    CanberraCues() = default;
    ~CanberraCues() override;
    CanberraCues(const CanberraCues&) = delete;
    CanberraCues& operator=(const CanberraCues&) = delete;

    void Play(Cue cue) override { Start(cue); }
    // libcanberra's answer: CA_SUCCESS (0) once the sound server took the
    // cue, else a CA_ERROR_ code. Nobody is told of a failure: the title
    // has the result.
    int Start(Cue cue);

  private:
    // libcanberra plays on threads of its own; the context must not go
    // while one still plays.
    void WaitForTheLastCue() const;

    ca_context* context_ = nullptr;
};

}  // namespace tsumugiya::ui
