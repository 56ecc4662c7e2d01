#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "HotkeyCommands.h"

namespace tsumugiya::win {

// The WAVE resource a cue is played from.
int CueResourceId(Cue cue);

// The cue `--play-cue NAME` asks for.
std::optional<Cue> CueOfArgument(std::wstring_view name);

// How a cue's child process ends.
inline constexpr int kCueHeard = 0;
inline constexpr int kCueUnheard = 1;  // no winmm or no sound device
inline constexpr int kCueUnknown = 2;  // the argument names no cue

// The window's cues: each is played by a short-lived copy of the program
// started with `--play-cue NAME`, so the window itself never loads winmm and
// the audio stack, whose memory would stay for the whole evening beside the
// game. Children are never waited for; their handles are closed at once.
class ChildProcessCues : public CuePlayer {
  public:
    // Starts a program from its path and whole command line; false if it did not start.
    using Launcher = std::function<bool(const std::wstring& program, std::wstring commandLine)>;

    explicit ChildProcessCues(std::filesystem::path executable, Launcher launch = StartDetached);

    void Play(Cue cue) override;

    static bool StartDetached(const std::wstring& program, std::wstring commandLine);

  private:
    const std::filesystem::path executable_;
    const Launcher launch_;
};

// The child's side, checked before anything else starts: when the command
// line asks for a cue, plays it to its end (a few seconds at most) and gives
// the exit status; otherwise nothing.
std::optional<int> RunCueChild(const wchar_t* commandLine);

}  // namespace tsumugiya::win
