#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace tsumugiya::win {

// A silent balloon from a notification-area icon that is there only while
// the balloon shows: the window's desktop notification. It never takes the
// focus and never plays the shell's sound (the cue is played apart).
class TrayBalloon {
  public:
    static constexpr UINT_PTR kTimerId = 3;

    TrayBalloon() = default;
    TrayBalloon(const TrayBalloon&) = delete;
    TrayBalloon& operator=(const TrayBalloon&) = delete;
    ~TrayBalloon() { Remove(); }

    // The shell tells the window through callbackMessage when the balloon goes.
    void Attach(HWND window, UINT callbackMessage, HICON icon);
    void Show(const std::wstring& title, const std::wstring& text);
    // The callback message: the icon goes with its balloon.
    void OnCallback(LPARAM lParam);
    // WM_TIMER: a shell that never says the balloon went (none shows it)
    // must not keep the icon.
    void OnTimer() { Remove(); }
    void Remove();

  private:
    NOTIFYICONDATAW Data(UINT flags) const;

    HWND window_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON icon_ = nullptr;
    bool added_ = false;
};

}  // namespace tsumugiya::win
