#include "EventWait.h"

namespace tsumugiya::win {

void EventWait::Watch(std::optional<HANDLE> event) {
    Unregister();
    if (event_) {
        ::CloseHandle(event_);
        event_ = nullptr;
    }
    ++generation_;
    const HANDLE process = ::GetCurrentProcess();
    if (event && ::DuplicateHandle(process, *event, process, &event_, SYNCHRONIZE, FALSE, 0)) {
        Register();
    }
}

bool EventWait::Take(WPARAM wParam) {
    if (wParam != generation_) {
        return false;
    }
    // A wait that ran once still has to be given back to the pool.
    Unregister();
    return true;
}

void EventWait::Rearm() {
    if (event_ && !wait_) {
        Register();
    }
}

// On a pool thread: the window's members it reads change only while no wait
// is registered.
void CALLBACK EventWait::Signalled(void* self, BOOLEAN) {
    const auto* wait = static_cast<const EventWait*>(self);
    ::PostMessageW(wait->window_, wait->message_, wait->generation_, 0);
}

void EventWait::Register() {
    if (!::RegisterWaitForSingleObject(&wait_, event_, &Signalled, this, INFINITE,
                                       WT_EXECUTEONLYONCE)) {
        wait_ = nullptr;
    }
}

void EventWait::Unregister() {
    if (wait_) {
        // Returns once a callback under way has finished.
        ::UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
        wait_ = nullptr;
    }
}

}  // namespace tsumugiya::win
