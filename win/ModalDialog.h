#pragma once

#include <windows.h>

#include <span>

namespace tsumugiya::win {

// A modal dialog from a template in the program's resources. The dialog
// procedure finds the object and hands it every message; a subclass answers
// through its message map (MessageEntry rows, run by Dispatch below).
class ModalDialog {
  public:
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;
    virtual ~ModalDialog() = default;

    // Runs the dialog until EndDialog; the dialog's result, or -1 when it
    // could not be created.
    INT_PTR RunModal(HWND owner);
    HWND Handle() const { return window_; }

  protected:
    explicit ModalDialog(int templateId) : templateId_(templateId) {}

    // What the dialog procedure returns: FALSE leaves the message to the
    // dialog manager.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    HWND Item(int id) const { return ::GetDlgItem(window_, id); }
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendDlgItemMessageW(window_, id, message, wParam, lParam);
    }
    // Centres the dialog over its owner, or the screen's work area without one.
    void CentreOverOwner() const;

  private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const int templateId_;
    HWND window_ = nullptr;
};

// One row of a message map: a message, for WM_COMMAND also the control and
// its notification, and the handler.
template <class Dialog>
struct MessageEntry {
    UINT message;
    int id = 0;
    int code = 0;
    INT_PTR (*handler)(Dialog&, WPARAM, LPARAM) = nullptr;
};

// A handler that takes the message's parameters and says what to return.
template <class Dialog, INT_PTR (Dialog::*Handler)(WPARAM, LPARAM)>
INT_PTR OnMessageOf(Dialog& dialog, WPARAM wParam, LPARAM lParam) {
    return (dialog.*Handler)(wParam, lParam);
}

// A command handler: no arguments, the message counts as handled. The
// handler may be a base class's, such as the buttons every window shares.
template <class Dialog, auto Handler>
INT_PTR OnCommandOf(Dialog& dialog, WPARAM, LPARAM) {
    (dialog.*Handler)();
    return TRUE;
}

// The first row that names the message (and control and notification) runs.
template <class Dialog>
INT_PTR Dispatch(std::span<const MessageEntry<Dialog>> map, Dialog& dialog, UINT message,
                 WPARAM wParam, LPARAM lParam) {
    for (const MessageEntry<Dialog>& entry : map) {
        if (entry.message != message) {
            continue;
        }
        if (message == WM_COMMAND && (entry.id != LOWORD(wParam) || entry.code != HIWORD(wParam))) {
            continue;
        }
        return entry.handler(dialog, wParam, lParam);
    }
    return FALSE;
}

}  // namespace tsumugiya::win
