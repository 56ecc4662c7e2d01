#include "MemoTip.h"

namespace tsumugiya::win {

void MemoTip::Attach(HWND dialog, HWND field) {
    dialog_ = dialog;
    field_ = field;
    tip_.AttachTracked(dialog, field, TTS_BALLOON);
    // A reason a line: the tip breaks lines only when it has a width.
    RECT bounds{};
    ::GetWindowRect(field_, &bounds);
    ::SendMessageW(tip_.Handle(), TTM_SETMAXTIPWIDTH, 0, bounds.right - bounds.left);
}

void MemoTip::Show(const std::wstring& text) {
    RECT field{};
    ::GetWindowRect(field_, &field);
    tip_.ShowAt(text, POINT{field.left + (field.right - field.left) / 4, field.bottom});
    if (tip_.Shown()) {
        ::SetTimer(dialog_, kTimerId, kShownForMs, nullptr);
    }
}

void MemoTip::Hide() {
    if (tip_.Shown()) {
        ::KillTimer(dialog_, kTimerId);
        tip_.Hide();
    }
}

}  // namespace tsumugiya::win
