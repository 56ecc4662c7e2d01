#pragma once

#include <windows.h>

#include <chrono>
#include <optional>

namespace tsumugiya::win {

// One single-shot window timer for a steady-clock time: arming it again
// replaces the time before.
class DeadlineTimer {
  public:
    static constexpr UINT_PTR kTimerId = 4;

    void Attach(HWND window) { window_ = window; }
    // Absent disarms it.
    void Arm(std::optional<std::chrono::steady_clock::time_point> deadline);
    // WM_TIMER: true when it is this timer's, which is then over.
    bool Fired(WPARAM timerId);

  private:
    HWND window_ = nullptr;
};

}  // namespace tsumugiya::win
