#pragma once

#include <windows.h>

#include <functional>

namespace tsumugiya::win {

// Whether the process runs elevated. A process this one may not even query
// (access denied) is elevated or protected: either way its keys are hidden.
bool IsProcessElevated(DWORD processId);
bool IsSelfElevated();

// Calls back on this thread whenever another window comes to the front,
// with whether its process is elevated; nothing while stopped. The system
// calls in from the message loop: nothing polls.
class ForegroundWatch {
  public:
    using Callback = std::function<void(bool foregroundElevated)>;

    explicit ForegroundWatch(Callback callback) : callback_(std::move(callback)) {}
    ForegroundWatch(const ForegroundWatch&) = delete;
    ForegroundWatch& operator=(const ForegroundWatch&) = delete;
    ~ForegroundWatch() { Stop(); }

    void Start();
    void Stop();

  private:
    static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                 LONG child, DWORD thread, DWORD time);

    Callback callback_;
    HWINEVENTHOOK hook_ = nullptr;
};

}  // namespace tsumugiya::win
