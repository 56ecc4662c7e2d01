#pragma once

#include <windows.h>

#include <string>

namespace tsumugiya::win {

// Short success notes in the window title instead of a status bar:
// "Tsumugiya : text" until timer 1 fires two seconds later, then the plain
// title again. A newer note restarts the timer; nested modal loops (message
// boxes, the file dialog, the About box) keep delivering it.
class TitleStatus {
  public:
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kShownForMs = 2000;

    explicit TitleStatus(std::wstring plainTitle) : plainTitle_(std::move(plainTitle)) {}
    void Attach(HWND window) { window_ = window; }

    // An empty text puts the plain title back at once.
    void Show(const std::wstring& text);
    // WM_TIMER: whatever the timer, the note goes.
    void OnTimer();
    // The title between notes: shown now, or once the note showing goes.
    void SetPlainTitle(std::wstring plainTitle);

  private:
    void ShowPlain();

    std::wstring plainTitle_;
    HWND window_ = nullptr;
    bool noting_ = false;
};

}  // namespace tsumugiya::win
