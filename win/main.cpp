#include <windows.h>

#include "CTsumugiya_App.h"
#include "ResourceCues.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // A cue's child first: no window, no message loop, nothing shown.
    if (const auto status = tsumugiya::win::RunCueChild(::GetCommandLineW())) {
        return *status;
    }
    return tsumugiya::win::CTsumugiya_App().InitInstance();
}
