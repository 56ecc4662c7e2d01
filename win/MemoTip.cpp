#include "MemoTip.h"

namespace tsumugiya::win {

TTTOOLINFOW MemoTip::Tool() {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(field_);
    return tool;
}

void MemoTip::Attach(HWND dialog, HWND field) {
    dialog_ = dialog;
    field_ = field;
    tip_.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_BALLOON | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (!tip_.Get()) {
        return;
    }
    TTTOOLINFOW tool = Tool();
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tip_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // A reason a line: the tip breaks lines only when it has a width.
    RECT bounds{};
    ::GetWindowRect(field_, &bounds);
    ::SendMessageW(tip_.Get(), TTM_SETMAXTIPWIDTH, 0, bounds.right - bounds.left);
}

void MemoTip::Show(const std::wstring& text) {
    if (!tip_.Get()) {
        return;
    }
    TTTOOLINFOW tool = Tool();
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(tip_.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT field{};
    ::GetWindowRect(field_, &field);
    const int x = field.left + (field.right - field.left) / 4;
    ::SendMessageW(tip_.Get(), TTM_TRACKPOSITION, 0, MAKELPARAM(x, field.bottom));
    ::SendMessageW(tip_.Get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    ::SetTimer(dialog_, kTimerId, kShownForMs, nullptr);
    shown_ = true;
}

void MemoTip::Hide() {
    if (!tip_.Get() || !shown_) {
        return;
    }
    ::KillTimer(dialog_, kTimerId);
    TTTOOLINFOW tool = Tool();
    ::SendMessageW(tip_.Get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    shown_ = false;
}

}  // namespace tsumugiya::win
