#include "HoverTip.h"

namespace tsumugiya::win {

TTTOOLINFOW HoverTip::Tool() const {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(control_);
    return tool;
}

void HoverTip::Attach(HWND dialog, HWND control) {
    dialog_ = dialog;
    control_ = control;
    // A static control lets the mouse through unless it notifies.
    ::SetWindowLongPtrW(control, GWL_STYLE, ::GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY);
    tip_.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr));
    if (!tip_.Get()) {
        return;
    }
    TTTOOLINFOW tool = Tool();
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tip_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void HoverTip::SetText(const std::wstring& text) {
    if (!tip_.Get()) {
        return;
    }
    TTTOOLINFOW tool = Tool();
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(tip_.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace tsumugiya::win
