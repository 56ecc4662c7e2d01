#include "CTsumugiya_App.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "AppLocations.h"
#include "CTsumugiya_Dlg.h"
#include "platform/Platform.h"

namespace tsumugiya::win {
namespace {

// The file dialog and the shell's "open" want a single-threaded apartment.
class ComApartment {
  public:
    ComApartment()
        : initialised_(SUCCEEDED(
              ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialised_) {
            ::CoUninitialize();
        }
    }

  private:
    const bool initialised_;
};

}  // namespace

int CTsumugiya_App::InitInstance() {
    const ComApartment apartment;
    // Common controls 6 (the manifest asks for them) for the tooltip, the
    // hotkey control and the themed controls.
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_HOTKEY_CLASS};
    ::InitCommonControlsEx(&controls);

    const std::filesystem::path executable = platform::ExecutablePath();
    // Message boxes carry the executable's base name; the window title is fixed.
    std::wstring name = executable.stem().wstring();
    AppLocations locations;
    CTsumugiya_Dlg dialog(locations, executable, name.empty() ? L"Tsumugiya" : name);
    dialog.RunModal(nullptr);
    return 0;
}

}  // namespace tsumugiya::win
