#include "CAboutDlg.h"

#include <QPushButton>

#include "Resources.h"

namespace tsumugiya::ui {

CAboutDlg::CAboutDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      controls_(LoadDialogTemplate(QString::fromLatin1(kAboutDialogLayout)), *this) {
    setModal(true);
    if (auto* ok = controls_.Get<QPushButton>(1)) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
    controls_.FitCaptions();
}

}  // namespace tsumugiya::ui
