#pragma once

#include <QDialog>

#include "TemplateControls.h"

namespace tsumugiya::ui {

// The program's icon, name and version; nothing to do but close it.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* owner);

    QWidget* Control(int id) const { return controls_.Control(id); }

  private:
    TemplateControls controls_;
};

}  // namespace tsumugiya::ui
