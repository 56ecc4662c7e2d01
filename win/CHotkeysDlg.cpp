#include "CHotkeysDlg.h"

#include <commctrl.h>

#include "FitCaptions.h"
#include "KeyCodes.h"
#include "MainDialog.h"
#include "Messages.h"
#include "platform/win32/Win32.h"

namespace tsumugiya::win {

using platform::win32::Wide;

namespace {

constexpr std::array<int, 3> kKeyControls{kIdHotkeyBackup, kIdHotkeyQuick, kIdHotkeyRestore};

int ControlOf(HotkeyAction action) {
    return kKeyControls[static_cast<std::size_t>(action)];
}

}  // namespace

struct CHotkeysDlgMap {
    using D = CHotkeysDlg;
    static constexpr MessageEntry<D> kEntries[] = {
        {WM_INITDIALOG, 0, 0, &OnMessageOf<D, &D::OnInitDialog>},
        {WM_COMMAND, IDOK, BN_CLICKED, &OnMessageOf<D, &D::OnOk>},
        {WM_COMMAND, IDCANCEL, BN_CLICKED, &OnMessageOf<D, &D::OnCancel>},
    };
};

CHotkeysDlg::CHotkeysDlg(HotkeySettings settings, Keep keep, std::wstring caption)
    : ModalDialog(kIDD_HOTKEYS),
      settings_(std::move(settings)),
      keep_(std::move(keep)),
      caption_(std::move(caption)) {}

INT_PTR CHotkeysDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Dispatch<CHotkeysDlg>(CHotkeysDlgMap::kEntries, *this, message, wParam, lParam);
}

INT_PTR CHotkeysDlg::OnInitDialog(WPARAM, LPARAM) {
    FitCaptions(Handle());
    for (const HotkeyAction action : kHotkeyActions) {
        const auto index = static_cast<std::size_t>(action);
        const auto& chord = settings_.Key(action);
        filled_[index] = chord ? HotkeyControlValueOf(*chord) : 0;
        SendItem(ControlOf(action), HKM_SETHOTKEY, filled_[index]);
        if (chord && (chord->modifiers & kModMeta)) {
            winKeyTips_[index].AttachHover(Handle(), Item(ControlOf(action)));
            winKeyTips_[index].SetText(Wide(messages::HotkeyWinKeyKept(KeyChordText(*chord))));
        }
    }
    SendItem(kIdHotkeysOn, BM_SETCHECK, settings_.enabled ? BST_CHECKED : BST_UNCHECKED);
    SendItem(kIdHotkeySound, BM_SETCHECK, settings_.sound ? BST_CHECKED : BST_UNCHECKED);
    CentreOverOwner();
    return TRUE;  // the focus goes to the first key
}

std::optional<HotkeySettings> CHotkeysDlg::Shown() {
    HotkeySettings shown = settings_;
    for (const HotkeyAction action : kHotkeyActions) {
        const auto index = static_cast<std::size_t>(action);
        const auto value = static_cast<WORD>(SendItem(ControlOf(action), HKM_GETHOTKEY));
        if (value == filled_[index]) {
            continue;
        }
        if (LOBYTE(value) == 0) {
            shown.Key(action).reset();  // emptied: this hotkey is off
            continue;
        }
        // The core's rule decides, as for the settings file.
        const auto chord = ChordOfHotkeyControl(value);
        if (!chord || !ParseKeyChord(KeyChordText(*chord))) {
            Say(messages::HotkeyKeyRefused(ActionLabel(action),
                                           chord ? KeyChordText(*chord) : std::string()));
            ::SetFocus(Item(ControlOf(action)));
            return std::nullopt;
        }
        shown.Key(action) = chord;
    }
    shown.enabled = SendItem(kIdHotkeysOn, BM_GETCHECK) == BST_CHECKED;
    shown.sound = SendItem(kIdHotkeySound, BM_GETCHECK) == BST_CHECKED;
    return shown;
}

INT_PTR CHotkeysDlg::OnOk(WPARAM, LPARAM) {
    const auto shown = Shown();
    if (!shown) {
        return TRUE;
    }
    if (const auto failure = keep_(*shown)) {
        Say(*failure);
        return TRUE;
    }
    ::EndDialog(Handle(), IDOK);
    return TRUE;
}

INT_PTR CHotkeysDlg::OnCancel(WPARAM, LPARAM) {
    ::EndDialog(Handle(), IDCANCEL);
    return TRUE;
}

void CHotkeysDlg::Say(const std::string& text) const {
    ::MessageBoxW(Handle(), Wide(text).c_str(), caption_.c_str(), MB_OK);
}

}  // namespace tsumugiya::win
