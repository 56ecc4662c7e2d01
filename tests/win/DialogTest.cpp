// The real dialog of Tsumugiya.exe, run modally in Wine's null display and
// probed from a timer inside its message loop: what the smoke test cannot
// read from outside the program.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AppLocations.h"
#include "CTsumugiya_Dlg.h"
#include "MainDialog.h"
#include "Resource.h"
#include "platform/win32/Win32.h"
#include "support/TestSupport.h"

using namespace tsumugiya;
using namespace tsumugiya::test;

namespace {

// What the probe does once the dialog is up, from a timer in its message loop.
std::function<void()> probe;

std::vector<HWND> Tooltips() {
    std::vector<HWND> tips;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            if (std::wstring_view(name) == TOOLTIPS_CLASSW) {
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    return tips;
}

// A window's text; for a tooltip, what it shows.
std::wstring TextOf(HWND window) {
    std::wstring text(4096, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), 4096)));
    return text;
}

// The icon the dialog is dragged with, the save path's tip
// and the memo's balloon, on the window as the program builds it.
TEST(WindowsDialog, IconsAndTipsSayWhatTheyShould) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    TempFolder dir;
    fs::create_directory(dir / "game");
    WriteFile(dir / "game" / "slot1.dat", "state A");
    WriteFile(dir / "Tsumugiya.ini", "[SaveFile]\r\nfolder=" + platform::Utf8Of(dir / "game") +
                                         "\r\nfilename=slot1.dat\r\n");
    AppLocations locations;
    win::CTsumugiya_Dlg dialog(locations, dir / "Tsumugiya.exe", L"Tsumugiya");
    probe = [&] {
        const HWND window = dialog.Handle();
        const auto icon = ::LoadImageW(
            ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(win::kIdMainIcon), IMAGE_ICON,
            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
        EXPECT_NE(icon, nullptr);
        EXPECT_EQ(::SendMessageW(window, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(icon));

        // The path field may cut its text; its tip has it whole.
        const HWND path = ::GetDlgItem(window, kIdSavePath);
        EXPECT_TRUE(TextOf(path).ends_with(L"\\game\\slot1.dat")) << TextOf(path).size();
        std::wstring tipText(4096, L'\0');
        int tips = 0;
        for (const HWND tip : Tooltips()) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.lpszText = tipText.data();
            if (::SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)) &&
                tool.uId == reinterpret_cast<UINT_PTR>(path)) {
                ++tips;
                EXPECT_EQ(tipText.substr(0, tipText.find(L'\0')), TextOf(path));
            }
        }
        EXPECT_EQ(tips, 1);

        ::SetDlgItemTextW(window, kIdMemo, L"a:b");
        EXPECT_EQ(TextOf(::GetDlgItem(window, kIdMemo)), L"ab");
        int shown = 0;
        for (const HWND tip : Tooltips()) {
            if (::IsWindowVisible(tip)) {
                ++shown;
                EXPECT_NE(TextOf(tip).find(L"「:」"), std::wstring::npos) << TextOf(tip).size();
            }
        }
        EXPECT_EQ(shown, 1);
        ::EndDialog(window, IDCANCEL);
    };
    ::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        probe();
    });
    EXPECT_EQ(dialog.RunModal(nullptr), IDCANCEL);
}

}  // namespace
