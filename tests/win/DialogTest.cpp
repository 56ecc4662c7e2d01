// The real dialogs of Tsumugiya.exe, run modally in Wine's null display and
// probed from a timer inside their message loops: what the smoke test cannot
// read from outside the program.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "AppLocations.h"
#include "CHotkeysDlg.h"
#include "CTsumugiya_Dlg.h"
#include "MainDialog.h"
#include "Resource.h"
#include "platform/win32/Win32.h"
#include "support/TestSupport.h"

using namespace tsumugiya;
using namespace tsumugiya::test;

namespace {

// Steps run one after another from a timer inside the dialog's (and its
// boxes') message loops.
std::vector<std::function<void()>> steps;

void RunSteps() {
    ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        if (!steps.empty()) {
            auto step = std::move(steps.front());
            steps.erase(steps.begin());
            step();
            RunSteps();
        }
    });
}

// The windows of this thread: the dialog, its boxes and its tips.
std::vector<HWND> ThreadWindows() {
    std::vector<HWND> windows;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND BoxOver(HWND dialog) {
    for (const HWND window : ThreadWindows()) {
        if (window != dialog && ::GetWindow(window, GW_OWNER) && ::IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

std::vector<HWND> Tooltips() {
    std::vector<HWND> tips = ThreadWindows();
    std::erase_if(tips, [](HWND window) {
        wchar_t name[64] = {};
        ::GetClassNameW(window, name, 64);
        return std::wstring_view(name) != TOOLTIPS_CLASSW;
    });
    return tips;
}

// A window's text; for a tooltip, what it shows.
std::wstring TextOf(HWND window) {
    std::wstring text(4096, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), 4096)));
    return text;
}

std::vector<std::wstring> TipsShown() {
    std::vector<std::wstring> shown;
    for (const HWND tip : Tooltips()) {
        if (::IsWindowVisible(tip)) {
            shown.push_back(TextOf(tip));
        }
    }
    return shown;
}

// A dialog's size in dialog units, as its layout in res/ gives it.
SIZE LayoutSize(const char* file) {
    const std::string text = ReadFile(fs::path(TSUMUGIYA_LAYOUTS) / file).value_or("");
    std::smatch size;
    if (!std::regex_search(text, size, std::regex(R"("w": (\d+), "h": (\d+),\s*"controls")"))) {
        ADD_FAILURE() << "no size in " << file;
        return {};
    }
    return {std::stol(size[1]), std::stol(size[2])};
}

// The icon the dialog is dragged with, the save path's tip, the tip that
// names a backup the list cuts off, and the memo's balloon, which goes with
// the focus; on the window as the program builds it.
TEST(WindowsDialog, IconsAndTipsSayWhatTheyShould) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    TempFolder dir;
    fs::create_directory(dir / "game");
    fs::create_directory(dir / "backup");
    WriteFile(dir / "game" / "slot1.dat", "state A");
    WriteFile(dir / "Tsumugiya.ini", "[SaveFile]\r\nfolder=" + platform::Utf8Of(dir / "game") +
                                         "\r\nfilename=slot1.dat\r\n");
    // Listed newest first: a name the list cuts off, then one that fits.
    const std::string cutOff =
        "slot1.dat.save.2024年03月12日08時33分20秒_城の前で全員の準備が"
        "整ったところ、宿屋に泊まる前、宝箱を開ける前の記録 (the whole party, castle gate)";
    WriteFile(dir / "backup" / U8(cutOff), "state A", 1710200000);
    WriteFile(dir / "backup" / "slot1.dat.save.fits", "state A", 1710000000);
    AppLocations locations;
    win::CTsumugiya_Dlg dialog(locations, dir / "Tsumugiya.exe", L"Tsumugiya");
    steps = {[&] {
        const HWND window = dialog.Handle();
        const auto icon = ::LoadImageW(
            ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(win::kIdMainIcon), IMAGE_ICON,
            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
        EXPECT_NE(icon, nullptr);
        EXPECT_EQ(::SendMessageW(window, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(icon));
        // As large as its layout, in its own font's dialog units.
        const SIZE layout = LayoutSize("main.json");
        RECT want{0, 0, layout.cx, layout.cy}, client{};
        ::MapDialogRect(window, &want);
        ::GetClientRect(window, &client);
        EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(want.right, want.bottom));

        // The path field may cut its text; its tip has it whole.
        const HWND path = ::GetDlgItem(window, kIdSavePath);
        EXPECT_TRUE(TextOf(path).ends_with(L"\\game\\slot1.dat")) << TextOf(path).size();
        std::vector<std::wstring> pathTips;
        for (const HWND tip : Tooltips()) {
            std::wstring text(4096, L'\0');
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.lpszText = text.data();
            if (::SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)) &&
                tool.uId == reinterpret_cast<UINT_PTR>(path)) {
                pathTips.push_back(text.substr(0, text.find(L'\0')));
            }
        }
        EXPECT_EQ(pathTips, std::vector{TextOf(path)});

        // The mouse comes to rest on each entry of the list: the system says
        // so once the hover time has passed.
        const HWND list = ::GetDlgItem(window, kIdBackupList);
        for (const int entry : {0, 1}) {
            RECT rect{};
            ::SendMessageW(list, LB_GETITEMRECT, entry, reinterpret_cast<LPARAM>(&rect));
            POINT at{rect.left + 8, rect.top + 4};
            ::ClientToScreen(list, &at);
            ::SetCursorPos(at.x, at.y);
            ::SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(rect.left + 8, rect.top + 4));
            UINT hover = 0;
            ::SystemParametersInfoW(SPI_GETMOUSEHOVERTIME, 0, &hover, 0);
            for (const DWORD end = ::GetTickCount() + hover + 300; ::GetTickCount() < end;) {
                MSG message;
                while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                    ::DispatchMessageW(&message);
                }
                ::Sleep(10);
            }
            EXPECT_EQ(TipsShown(), entry == 0 ? std::vector{platform::win32::Wide(cutOff)}
                                              : std::vector<std::wstring>{})
                << entry;
        }

        ::SetFocus(::GetDlgItem(window, kIdMemo));
        ::SetDlgItemTextW(window, kIdMemo, L"a:b");
        EXPECT_EQ(TextOf(::GetDlgItem(window, kIdMemo)), L"ab");
        const std::vector<std::wstring> balloon = TipsShown();
        EXPECT_TRUE(balloon.size() == 1 && balloon[0].find(L"「:」") != std::wstring::npos)
            << balloon.size();
        ::SetFocus(::GetDlgItem(window, kIdBackup));
        EXPECT_EQ(TipsShown(), std::vector<std::wstring>{});
        ::EndDialog(window, IDCANCEL);
    }};
    RunSteps();
    EXPECT_EQ(dialog.RunModal(nullptr), IDCANCEL);
}

TEST(WindowsHotkeysDialog, ShowsTheSettingsAndKeepsWhatItShows) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_HOTKEY_CLASS};
    ::InitCommonControlsEx(&controls);
    HotkeySettings settings;
    settings.sound = false;
    settings.Key(HotkeyAction::Backup) = KeyChord{kModCtrl | kModAlt, "F5"};
    settings.Key(HotkeyAction::QuickBackup) = KeyChord{kModCtrl | kModMeta, "F6"};
    settings.Key(HotkeyAction::Restore).reset();
    std::vector<HotkeySettings> kept;
    win::CHotkeysDlg dialog(
        settings,
        [&](const HotkeySettings& shown) -> std::optional<std::string> {
            kept.push_back(shown);
            return std::nullopt;
        },
        L"Tsumugiya");
    const auto item = [&](int id, UINT message, WPARAM wParam = 0) {
        return ::SendDlgItemMessageW(dialog.Handle(), id, message, wParam, 0);
    };
    steps = {
        [&] {
            // The control has no Windows key: the rest of the chord shows.
            EXPECT_EQ(std::tuple(
                          item(kIdHotkeyBackup, HKM_GETHOTKEY), item(kIdHotkeyQuick, HKM_GETHOTKEY),
                          item(kIdHotkeyRestore, HKM_GETHOTKEY), item(kIdHotkeysOn, BM_GETCHECK),
                          item(kIdHotkeySound, BM_GETCHECK)),
                      std::tuple(MAKEWORD(VK_F5, HOTKEYF_CONTROL | HOTKEYF_ALT),
                                 MAKEWORD(VK_F6, HOTKEYF_CONTROL), 0, BST_CHECKED, BST_UNCHECKED));
            // Shift alone would take the key from every program: refused.
            item(kIdHotkeyBackup, HKM_SETHOTKEY, MAKEWORD(VK_F7, HOTKEYF_SHIFT));
            ::PostMessageW(dialog.Handle(), WM_COMMAND, IDOK, 0);
        },
        [&] {
            const HWND box = BoxOver(dialog.Handle());
            ASSERT_NE(box, nullptr) << "no box for a key without Ctrl or Alt";
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        },
        [&] {
            EXPECT_TRUE(::IsWindowVisible(dialog.Handle()));
            EXPECT_TRUE(kept.empty());
            item(kIdHotkeyBackup, HKM_SETHOTKEY, 0);
            item(kIdHotkeyRestore, HKM_SETHOTKEY,
                 MAKEWORD(VK_HOME, HOTKEYF_ALT | HOTKEYF_SHIFT | HOTKEYF_EXT));
            item(kIdHotkeySound, BM_SETCHECK, BST_CHECKED);
            item(kIdHotkeysOn, BM_SETCHECK, BST_UNCHECKED);
            ::PostMessageW(dialog.Handle(), WM_COMMAND, IDOK, 0);
        },
    };
    RunSteps();
    EXPECT_EQ(dialog.RunModal(nullptr), IDOK);
    ASSERT_EQ(kept.size(), 1U);
    const HotkeySettings& shown = kept[0];
    EXPECT_EQ(std::tuple(shown.Key(HotkeyAction::Backup), shown.Key(HotkeyAction::QuickBackup),
                         shown.Key(HotkeyAction::Restore), shown.sound, shown.enabled),
              std::tuple(std::nullopt, KeyChord{kModCtrl | kModMeta, "F6"},
                         KeyChord{kModAlt | kModShift, "Home"}, true, false));
}

}  // namespace
