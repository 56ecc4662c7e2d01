#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "Handles.h"

namespace tsumugiya::win {

// A tooltip window with one tool: a control of the dialog.
class Tooltip {
  public:
    // Shown by the tooltip itself while the mouse rests on the control, as
    // the save path field shows its whole path when the middle is cut off.
    void AttachHover(HWND dialog, HWND control);
    // Shown and taken away by the program (ShowAt, Hide); style adds to the
    // window's, as TTS_BALLOON.
    void AttachTracked(HWND dialog, HWND control, DWORD style = 0);

    void SetText(const std::wstring& text);
    // A tracked tip: shows text at once, placed at this point of the screen.
    void ShowAt(const std::wstring& text, POINT at);
    void Hide();
    bool Shown() const { return shown_; }
    HWND Handle() const { return tip_.Get(); }

  private:
    void Attach(HWND dialog, HWND control, DWORD style, UINT flags);
    TTTOOLINFOW Tool() const;

    OwnedWindow tip_;
    HWND dialog_ = nullptr;
    HWND control_ = nullptr;
    UINT flags_ = 0;
    bool shown_ = false;
};

}  // namespace tsumugiya::win
