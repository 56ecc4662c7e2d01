#include "DeadlineTimer.h"

#include <algorithm>

namespace tsumugiya::win {

namespace {

// What SetTimer is given for a time this far ahead: never before it, and
// within what a window timer takes.
UINT DelayFor(std::chrono::steady_clock::duration ahead) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(ahead).count();
    return static_cast<UINT>(std::clamp<decltype(ms)>(ms, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
}

}  // namespace

void DeadlineTimer::Arm(std::optional<std::chrono::steady_clock::time_point> deadline) {
    ::KillTimer(window_, kTimerId);
    if (deadline) {
        ::SetTimer(window_, kTimerId, DelayFor(*deadline - std::chrono::steady_clock::now()),
                   nullptr);
    }
}

bool DeadlineTimer::Fired(WPARAM timerId) {
    if (timerId != kTimerId) {
        return false;
    }
    ::KillTimer(window_, kTimerId);
    return true;
}

}  // namespace tsumugiya::win
