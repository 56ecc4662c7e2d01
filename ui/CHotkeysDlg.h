#pragma once

#include <QDialog>
#include <optional>

#include "Hotkeys.h"
#include "TemplateControls.h"

namespace tsumugiya::ui {

// Edits the [Hotkeys] settings: a key for each action, all on or off, and
// the cues. OK keeps the dialog open while a key cannot be a hotkey.
class CHotkeysDlg : public QDialog {
    Q_OBJECT

  public:
    CHotkeysDlg(QWidget* owner, const HotkeySettings& shown);

    QWidget* Control(int id) const { return controls_.Control(id); }
    // What the dialog showed when OK was chosen.
    const HotkeySettings& Chosen() const { return chosen_; }

  public slots:
    void accept() override;

  private:
    // The settings as shown; absent, once said why, when a key is refused.
    std::optional<HotkeySettings> Read();

    TemplateControls controls_;
    HotkeySettings chosen_;
};

}  // namespace tsumugiya::ui
