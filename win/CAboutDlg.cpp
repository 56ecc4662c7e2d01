#include "CAboutDlg.h"

#include "FitCaptions.h"
#include "Resource.h"

namespace tsumugiya::win {

struct CAboutDlgMap {
    static constexpr MessageEntry<CAboutDlg> kEntries[] = {
        {WM_INITDIALOG, 0, 0, &OnMessageOf<CAboutDlg, &CAboutDlg::OnInitDialog>},
        {WM_COMMAND, IDOK, BN_CLICKED, &OnMessageOf<CAboutDlg, &CAboutDlg::OnEnd>},
        {WM_COMMAND, IDCANCEL, BN_CLICKED, &OnMessageOf<CAboutDlg, &CAboutDlg::OnEnd>},
    };
};

CAboutDlg::CAboutDlg() : ModalDialog(kIdAboutBox) {}

INT_PTR CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Dispatch<CAboutDlg>(CAboutDlgMap::kEntries, *this, message, wParam, lParam);
}

INT_PTR CAboutDlg::OnInitDialog(WPARAM, LPARAM) {
    FitCaptions(Handle());
    CentreOverOwner();
    return TRUE;  // the focus goes to OK, the only tab stop
}

INT_PTR CAboutDlg::OnEnd(WPARAM wParam, LPARAM) {
    ::EndDialog(Handle(), LOWORD(wParam));
    return TRUE;
}

}  // namespace tsumugiya::win
