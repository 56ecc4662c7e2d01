#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "Hotkeys.h"
#include "ModalDialog.h"
#include "Tooltip.h"

namespace tsumugiya::win {

// "ホットキー…": the three keys in the system's hotkey controls and the two
// check boxes. OK hands what it shows to keep; the dialog stays open on a
// key no hotkey may use, or when keeping failed.
class CHotkeysDlg : public ModalDialog {
  public:
    // Keeps the settings; the user's words when it could not.
    using Keep = std::function<std::optional<std::string>(const HotkeySettings&)>;

    CHotkeysDlg(HotkeySettings settings, Keep keep, std::wstring caption);

  private:
    friend struct CHotkeysDlgMap;

    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnOk(WPARAM, LPARAM);
    INT_PTR OnCancel(WPARAM, LPARAM);

    // What the dialog shows as settings; absent (and said) for a refused key.
    std::optional<HotkeySettings> Shown();
    void Say(const std::string& text) const;

    HotkeySettings settings_;
    const Keep keep_;
    const std::wstring caption_;
    // The controls' values as filled: a control left alone keeps its chord
    // whole, the Windows key the control cannot show included.
    std::array<WORD, 3> filled_{};
    std::array<Tooltip, 3> winKeyTips_;
};

}  // namespace tsumugiya::win
