#pragma once

#include <windows.h>

#include <string>

#include "Tooltip.h"

namespace tsumugiya::win {

// Says why typed or pasted text was left out of the memo: a balloon just
// below the field, where the eyes are while typing, for a few seconds or
// until the field loses the focus. A tracking tooltip of our own rather than
// EM_SHOWBALLOONTIP, which goes at the next key typed, before it is read.
class MemoTip {
  public:
    // The dialog's timer that takes the tip away (1 is the title's).
    static constexpr UINT_PTR kTimerId = 2;
    static constexpr UINT kShownForMs = 5000;

    void Attach(HWND dialog, HWND field);
    void Show(const std::wstring& text);
    void Hide();

  private:
    Tooltip tip_;
    HWND dialog_ = nullptr;
    HWND field_ = nullptr;
};

}  // namespace tsumugiya::win
