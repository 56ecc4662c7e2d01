#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "Handles.h"

namespace tsumugiya::win {

// A tooltip that shows a text while the mouse rests on one control, as the
// save path field shows its whole path when the middle is cut off.
class HoverTip {
  public:
    void Attach(HWND dialog, HWND control);
    void SetText(const std::wstring& text);

  private:
    TTTOOLINFOW Tool() const;

    OwnedWindow tip_;
    HWND dialog_ = nullptr;
    HWND control_ = nullptr;
};

}  // namespace tsumugiya::win
