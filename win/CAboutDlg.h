#pragma once

#include "ModalDialog.h"

namespace tsumugiya::win {

// The program's icon, name and version; nothing to do but close it.
class CAboutDlg : public ModalDialog {
  public:
    CAboutDlg();

  private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnEnd(WPARAM wParam, LPARAM);

    friend struct CAboutDlgMap;
};

}  // namespace tsumugiya::win
