#include "TrayBalloon.h"

namespace tsumugiya::win {
namespace {

// Longer than the shell shows a balloon (at most 30 s on any Windows).
constexpr UINT kIconKeptMs = 35000;

}  // namespace

void TrayBalloon::Attach(HWND window, UINT callbackMessage, HICON icon) {
    window_ = window;
    callbackMessage_ = callbackMessage;
    icon_ = icon;
}

NOTIFYICONDATAW TrayBalloon::Data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = 1;
    data.uFlags = flags;
    data.uCallbackMessage = callbackMessage_;
    data.hIcon = icon_;
    return data;
}

void TrayBalloon::Show(const std::wstring& title, const std::wstring& text) {
    if (!window_) {
        return;
    }
    if (!added_) {
        NOTIFYICONDATAW icon = Data(NIF_ICON | NIF_MESSAGE);
        added_ = ::Shell_NotifyIconW(NIM_ADD, &icon);
        // Version 4: the callback's low word names the event.
        icon.uVersion = NOTIFYICON_VERSION_4;
        if (!added_ || !::Shell_NotifyIconW(NIM_SETVERSION, &icon)) {
            Remove();
            return;
        }
    }
    NOTIFYICONDATAW balloon = Data(NIF_INFO);
    // Cut to the fields' size; the title bar has the whole text.
    ::lstrcpynW(balloon.szInfoTitle, title.c_str(), ARRAYSIZE(balloon.szInfoTitle));
    ::lstrcpynW(balloon.szInfo, text.c_str(), ARRAYSIZE(balloon.szInfo));
    balloon.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND;
    if (!::Shell_NotifyIconW(NIM_MODIFY, &balloon)) {
        Remove();
        return;
    }
    ::SetTimer(window_, kTimerId, kIconKeptMs, nullptr);
}

void TrayBalloon::OnCallback(LPARAM lParam) {
    switch (LOWORD(lParam)) {
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONUSERCLICK:
        case NIN_BALLOONHIDE:
            Remove();
            break;
        default:
            break;
    }
}

void TrayBalloon::Remove() {
    if (!added_) {
        return;
    }
    ::KillTimer(window_, kTimerId);
    NOTIFYICONDATAW icon = Data(0);
    ::Shell_NotifyIconW(NIM_DELETE, &icon);
    added_ = false;
}

}  // namespace tsumugiya::win
