#pragma once

#include <windows.h>

#include "HotkeyCommands.h"

namespace tsumugiya::win {

// The WAVE resource a cue is played from.
int CueResourceId(Cue cue);

// Plays the cues embedded in the executable, without waiting for them.
// winmm is loaded from the system folder on the first cue: an .exe
// unpacked anywhere may sit beside a planted winmm.dll, and a player who
// keeps the sound off never loads it at all.
class ResourceCues : public CuePlayer {
  public:
    ResourceCues() = default;
    ResourceCues(const ResourceCues&) = delete;
    ResourceCues& operator=(const ResourceCues&) = delete;
    ~ResourceCues() override;

    void Play(Cue cue) override;

  private:
    using PlaySoundFunction = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);

    HMODULE winmm_ = nullptr;
    PlaySoundFunction playSound_ = nullptr;
    bool loadTried_ = false;
};

}  // namespace tsumugiya::win
