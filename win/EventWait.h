#pragma once

#include <windows.h>

#include <optional>

namespace tsumugiya::win {

// Waits for an event on a pool thread without holding up the window: when
// it is signalled the window is sent one message, and the wait rests until
// Rearm, so that a manual-reset event still set is not taken twice. The
// wait keeps its own handle to the event, so its owner may close theirs.
class EventWait {
  public:
    explicit EventWait(UINT message) : message_(message) {}
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;
    ~EventWait() { Watch(std::nullopt); }

    void Attach(HWND window) { window_ = window; }
    // Waits for this event instead of any before; absent stops waiting.
    void Watch(std::optional<HANDLE> event);
    // The message came: true when it is for the event watched now (not one
    // posted before Watch changed it). The wait rests until Rearm.
    bool Take(WPARAM wParam);
    // Waits again for the event watched, unless the wait is on already.
    void Rearm();

  private:
    static void CALLBACK Signalled(void* self, BOOLEAN timedOut);
    void Register();
    void Unregister();

    const UINT message_;
    HWND window_ = nullptr;
    HANDLE event_ = nullptr;  // owned: a duplicate of the one given
    HANDLE wait_ = nullptr;
    // Tells a message of this event from one posted for an event before.
    WPARAM generation_ = 0;
};

}  // namespace tsumugiya::win
