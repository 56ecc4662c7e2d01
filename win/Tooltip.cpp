#include "Tooltip.h"

namespace tsumugiya::win {

TTTOOLINFOW Tooltip::Tool() const {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = flags_;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(control_);
    return tool;
}

void Tooltip::AttachHover(HWND dialog, HWND control) {
    // A static control lets the mouse through unless it notifies.
    ::SetWindowLongPtrW(control, GWL_STYLE, ::GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY);
    Attach(dialog, control, 0, TTF_IDISHWND | TTF_SUBCLASS);
}

void Tooltip::AttachTracked(HWND dialog, HWND control, DWORD style) {
    Attach(dialog, control, style, TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE);
}

void Tooltip::Attach(HWND dialog, HWND control, DWORD style, UINT flags) {
    dialog_ = dialog;
    control_ = control;
    flags_ = flags;
    tip_.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP | style, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr));
    if (!tip_.Get()) {
        return;
    }
    TTTOOLINFOW tool = Tool();
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tip_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Tooltip::SetText(const std::wstring& text) {
    if (!tip_.Get()) {
        return;
    }
    TTTOOLINFOW tool = Tool();
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(tip_.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Tooltip::ShowAt(const std::wstring& text, POINT at) {
    if (!tip_.Get()) {
        return;
    }
    SetText(text);
    TTTOOLINFOW tool = Tool();
    ::SendMessageW(tip_.Get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    ::SendMessageW(tip_.Get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    shown_ = true;
}

void Tooltip::Hide() {
    if (!tip_.Get() || !shown_) {
        return;
    }
    TTTOOLINFOW tool = Tool();
    ::SendMessageW(tip_.Get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    shown_ = false;
}

}  // namespace tsumugiya::win
