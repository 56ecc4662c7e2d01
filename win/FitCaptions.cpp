#include "FitCaptions.h"

#include <string>

namespace tsumugiya::win {
namespace {

enum class Grow { Right, Left, BothSides };

// How a control grows, or false for one that shows no caption of its own.
bool FittedControl(HWND control, Grow& grow, int& extra) {
    wchar_t name[16] = {};
    ::GetClassNameW(control, name, 16);
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(control, GWL_STYLE));
    const std::wstring kind(name);
    extra = 0;
    grow = Grow::Right;
    if (::lstrcmpiW(kind.c_str(), L"Static") == 0) {
        switch (style & SS_TYPEMASK) {
            case SS_LEFT:
            case SS_LEFTNOWORDWRAP:
                return true;
            case SS_CENTER:
                grow = Grow::BothSides;
                return true;
            case SS_RIGHT:
                grow = Grow::Left;
                return true;
            default:
                return false;  // icons, frames, pictures
        }
    }
    if (::lstrcmpiW(kind.c_str(), L"Button") == 0) {
        const DWORD type = style & BS_TYPEMASK;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) {
            // The box and the gap before the text.
            extra = ::GetSystemMetrics(SM_CXMENUCHECK) + ::GetSystemMetrics(SM_CXEDGE) * 2;
            return true;
        }
    }
    return false;
}

BOOL CALLBACK FitOne(HWND control, LPARAM) {
    Grow grow{};
    int extra = 0;
    const int length = ::GetWindowTextLengthW(control);
    if (length == 0 || !FittedControl(control, grow, extra)) {
        return TRUE;
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), length + 1)));
    const HDC dc = ::GetDC(control);
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);

    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    const int missing = needed.right - needed.left + extra - (rect.right - rect.left);
    if (missing <= 0) {
        return TRUE;
    }
    if (grow == Grow::Left) {
        rect.left -= missing;
    } else if (grow == Grow::BothSides) {
        rect.left -= missing / 2;
        rect.right += missing - missing / 2;
    } else {
        rect.right += missing;
    }
    ::MoveWindow(control, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 FALSE);
    return TRUE;
}

}  // namespace

void FitCaptions(HWND dialog) {
    ::EnumChildWindows(dialog, &FitOne, 0);
}

}  // namespace tsumugiya::win
