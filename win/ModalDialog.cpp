#include "ModalDialog.h"

namespace tsumugiya::win {

INT_PTR ModalDialog::RunModal(HWND owner) {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner,
                             &ModalDialog::Procedure, reinterpret_cast<LPARAM>(this));
}

void ModalDialog::CentreOverOwner() const {
    RECT area{};
    const HWND owner = ::GetWindow(window_, GW_OWNER);
    if (!owner || ::IsIconic(owner) || !::GetWindowRect(owner, &area)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT own{};
    ::GetWindowRect(window_, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    ::SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK ModalDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* dialog = reinterpret_cast<ModalDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<ModalDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->window_ = window;
    }
    // Messages sent before WM_INITDIALOG (WM_SETFONT, sizing) have no object yet.
    if (!dialog) {
        return FALSE;
    }
    const INT_PTR result = dialog->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        dialog->window_ = nullptr;
    }
    return result;
}

}  // namespace tsumugiya::win
