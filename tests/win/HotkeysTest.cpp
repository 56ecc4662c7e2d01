// What Tsumugiya.exe adds to the hotkeys: its key table, the keys it takes
// from the system, its cues' resources and the copy of itself that plays
// them, and its dialog, run in Wine's null display.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "CHotkeysDlg.h"
#include "GlobalHotkeys.h"
#include "KeyCodes.h"
#include "MainDialog.h"
#include "ResourceCues.h"
#include "support/TestSupport.h"

using namespace tsumugiya;
using namespace tsumugiya::win;

namespace {

TEST(WindowsHotkeys, EveryKeyNameHasItsOwnCodeBothWays) {
    std::set<UINT> codes;
    for (const std::string_view name : KeyNames()) {
        const auto code = VirtualKeyOf(name);
        ASSERT_TRUE(code) << name;
        codes.insert(*code);
        EXPECT_EQ(KeyNameOf(*code), std::string(name));
        // Through the hotkey control and back, modifiers and all.
        const KeyChord chord{kModCtrl | kModAlt | kModShift, std::string(name)};
        EXPECT_EQ(ChordOfHotkeyControl(HotkeyControlValueOf(chord)), chord) << name;
    }
    EXPECT_EQ(codes.size(), KeyNames().size());
    // Ctrl makes Pause Break: the key taken and shown must be that one.
    EXPECT_EQ(PressedKeyOf({kModCtrl, "Pause"}), VK_CANCEL);
    EXPECT_EQ(PressedKeyOf({kModAlt, "Pause"}), VK_PAUSE);
    EXPECT_FALSE(KeyNameOf(VK_NUMPAD0));
    EXPECT_FALSE(KeyNameOf(VK_LWIN));
    EXPECT_FALSE(VirtualKeyOf("F25"));
    EXPECT_FALSE(VirtualKeyOf("F05"));
}

// A message-only window to take keys for.
class KeyWindow {
  public:
    KeyWindow()
        : window_(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    nullptr, nullptr)) {}
    ~KeyWindow() { ::DestroyWindow(window_); }
    HWND Get() const { return window_; }

  private:
    HWND window_;
};

TEST(WindowsHotkeys, AKeyHeldElsewhereIsRefusedUntilGivenBack) {
    const HotkeyBindings bindings{{HotkeyAction::Backup, {kModCtrl | kModAlt, "F11"}},
                                  {HotkeyAction::Restore, {kModCtrl | kModAlt, "F12"}}};
    const KeyWindow first;
    const KeyWindow second;
    GlobalHotkeys later;
    {
        GlobalHotkeys holder;
        EXPECT_TRUE(holder.Grab(first.Get(), bindings).empty());
        EXPECT_EQ(holder.ActionOf(0x5402), HotkeyAction::Restore);
        EXPECT_FALSE(holder.ActionOf(0x5401));  // QuickBackup has no key here
        const HotkeyBindings other{{HotkeyAction::QuickBackup, {kModCtrl | kModAlt, "F11"}}};
        EXPECT_EQ(later.Grab(second.Get(), other),
                  std::vector<HotkeyAction>{HotkeyAction::QuickBackup});
        // Taking keys again lets go of those taken before.
        EXPECT_TRUE(holder.Grab(first.Get(), bindings).empty());
    }
    EXPECT_TRUE(later.Grab(second.Get(), bindings).empty());
    EXPECT_TRUE(later.Any());
}

TEST(WindowsHotkeys, EachCueIsAShortWaveOfItsOwn) {
    std::set<int> ids;
    for (const Cue cue : {Cue::Done, Cue::AlreadyKept, Cue::Failed}) {
        ids.insert(CueResourceId(cue));
        const HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(CueResourceId(cue)), L"WAVE");
        ASSERT_NE(found, nullptr) << CueResourceId(cue);
        const DWORD size = ::SizeofResource(nullptr, found);
        EXPECT_GT(size, 44U);
        EXPECT_LT(size, 30U * 1024);
        const auto* bytes =
            static_cast<const char*>(::LockResource(::LoadResource(nullptr, found)));
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(std::string(bytes, 4), "RIFF");
        EXPECT_EQ(std::string(bytes + 8, 8), "WAVEfmt ");
        WORD format = 0;
        std::memcpy(&format, bytes + 20, sizeof format);
        EXPECT_EQ(format, WAVE_FORMAT_PCM);
    }
    EXPECT_EQ(ids.size(), 3U);
}

// Runs a whole command line to its end, ten seconds at most: its exit code,
// or nothing when it did not start or ran on.
std::optional<int> ExitCodeOf(const std::wstring& program, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &started)) {
        return std::nullopt;
    }
    std::optional<int> code;
    if (::WaitForSingleObject(started.hProcess, 10000) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        ::GetExitCodeProcess(started.hProcess, &exitCode);
        code = static_cast<int>(exitCode);
    } else {
        ::TerminateProcess(started.hProcess, 1);
    }
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return code;
}

std::wstring Quoted(const test::fs::path& program) {
    return L"\"" + program.wstring() + L"\"";
}

// The window's cues come from a copy of the program started for each; that
// copy plays its cue, with no window, and ends.
class WindowsCues : public ::testing::Test {
  protected:
    void SetUp() override {
        // A folder with a space and Japanese in its name, as a player's may be.
        program_ = folder_ / test::U8("ゲーム ツール") / "Tsumugiya.exe";
        test::fs::create_directories(program_.parent_path());
        test::fs::copy_file(TSUMUGIYA_EXE, program_);
    }

    test::TempFolder folder_;
    test::fs::path program_;
};

TEST_F(WindowsCues, TheWindowStartsItselfForEachCueAndTheCopyPlaysIt) {
    std::vector<std::pair<std::wstring, std::wstring>> started;
    ChildProcessCues cues(program_, [&](const std::wstring& program, std::wstring commandLine) {
        started.emplace_back(program, std::move(commandLine));
        return true;
    });
    const std::vector<Cue> played{Cue::Done, Cue::AlreadyKept, Cue::Failed};
    for (const Cue cue : played) {
        cues.Play(cue);
    }
    ASSERT_EQ(started.size(), played.size());
    // Wine's prefix may have no sound device: the copy must say so, not hang.
    const int expected = ::waveOutGetNumDevs() > 0 ? kCueHeard : kCueUnheard;
    for (std::size_t i = 0; i < played.size(); ++i) {
        const auto& [program, commandLine] = started[i];
        EXPECT_EQ(test::fs::path(program), program_);
        int count = 0;
        wchar_t** arguments = ::CommandLineToArgvW(commandLine.c_str(), &count);
        ASSERT_EQ(count, 3) << test::Utf8(commandLine);
        EXPECT_EQ(test::fs::path(arguments[0]), program_);
        EXPECT_EQ(CueOfArgument(arguments[2]), played[i]);
        ::LocalFree(arguments);
        EXPECT_EQ(ExitCodeOf(program, commandLine), expected) << test::Utf8(commandLine);
    }
}

TEST_F(WindowsCues, ACopyAskedForNoKnownCueEndsAtOnceWithoutAWindow) {
    // A window would wait for a click until the ten seconds ran out.
    EXPECT_EQ(ExitCodeOf(program_, Quoted(program_) + L" --play-cue"), kCueUnknown);
    EXPECT_EQ(ExitCodeOf(program_, Quoted(program_) + L" --play-cue louder"), kCueUnknown);
    EXPECT_EQ(ExitCodeOf(program_, Quoted(program_) + L" --play-cue done again"), kCueUnknown);
    // Started for real: the copy is left to end on its own.
    EXPECT_TRUE(ChildProcessCues::StartDetached(program_, Quoted(program_) + L" --play-cue x"));
    EXPECT_FALSE(ChildProcessCues::StartDetached(program_.parent_path() / L"none.exe",
                                                 L"none.exe --play-cue done"));
}

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

HWND BoxOver(HWND dialog) {
    HWND box = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            if (::GetWindow(window, GW_OWNER) && ::IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(found) = window;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    return box != dialog ? box : nullptr;
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
    CHotkeysDlg dialog(
        settings,
        [&](const HotkeySettings& shown) -> std::optional<std::string> {
            kept.push_back(shown);
            return std::nullopt;
        },
        L"Tsumugiya");
    const auto item = [&](int id, UINT message, WPARAM wParam = 0) {
        return ::SendDlgItemMessageW(dialog.Handle(), id, message, wParam, 0);
    };
    HWND box = nullptr;
    steps = {
        [&] {
            EXPECT_EQ(item(kIdHotkeyBackup, HKM_GETHOTKEY),
                      MAKEWORD(VK_F5, HOTKEYF_CONTROL | HOTKEYF_ALT));
            // The control has no Windows key: the rest of the chord shows.
            EXPECT_EQ(item(kIdHotkeyQuick, HKM_GETHOTKEY), MAKEWORD(VK_F6, HOTKEYF_CONTROL));
            EXPECT_EQ(item(kIdHotkeyRestore, HKM_GETHOTKEY), 0);
            EXPECT_EQ(item(kIdHotkeysOn, BM_GETCHECK), BST_CHECKED);
            EXPECT_EQ(item(kIdHotkeySound, BM_GETCHECK), BST_UNCHECKED);
            // Shift alone would take the key from every program: refused.
            item(kIdHotkeyBackup, HKM_SETHOTKEY, MAKEWORD(VK_F7, HOTKEYF_SHIFT));
            ::PostMessageW(dialog.Handle(), WM_COMMAND, IDOK, 0);
        },
        [&] {
            box = BoxOver(dialog.Handle());
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
    EXPECT_FALSE(kept[0].Key(HotkeyAction::Backup));
    EXPECT_EQ(kept[0].Key(HotkeyAction::QuickBackup), (KeyChord{kModCtrl | kModMeta, "F6"}));
    EXPECT_EQ(kept[0].Key(HotkeyAction::Restore), (KeyChord{kModAlt | kModShift, "Home"}));
    EXPECT_TRUE(kept[0].sound);
    EXPECT_FALSE(kept[0].enabled);
}

}  // namespace
