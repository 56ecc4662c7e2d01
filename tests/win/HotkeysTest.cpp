// What Tsumugiya.exe adds to the hotkeys: its key table, the keys it takes
// from the system, its cues' resources and the copy of itself that plays
// them.

#include <windows.h>

#include <gtest/gtest.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "GlobalHotkeys.h"
#include "KeyCodes.h"
#include "ResourceCues.h"
#include "support/TestSupport.h"

using namespace tsumugiya;
using namespace tsumugiya::win;
using namespace std::chrono_literals;

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
        const auto* bytes =
            static_cast<const char*>(::LockResource(::LoadResource(nullptr, found)));
        ASSERT_NE(bytes, nullptr);
        WORD format = 0;
        std::memcpy(&format, bytes + 20, sizeof format);
        EXPECT_EQ(std::tuple(size > 44 && size < 30 * 1024, std::string(bytes, 4),
                             std::string(bytes + 8, 8), format),
                  std::tuple(true, "RIFF", "WAVEfmt ", WAVE_FORMAT_PCM));
    }
    EXPECT_EQ(ids.size(), 3U);
}

// The window's cues come from a copy of the program started for each; that
// copy plays its cue, with no window, and ends; asked for no known cue, it
// ends at once (a window would wait for a click until it is killed).
TEST(WindowsCues, TheWindowStartsACopyOfItselfThatPlaysTheCueAndEnds) {
    test::TempFolder folder;
    // A folder with a space and Japanese in its name, as a player's may be.
    const test::fs::path program = folder / test::U8("ゲーム ツール") / "Tsumugiya.exe";
    test::fs::create_directories(program.parent_path());
    test::fs::copy_file(TSUMUGIYA_EXE, program);
    std::vector<std::wstring> started;
    ChildProcessCues cues(program, [&](const std::wstring& path, std::wstring commandLine) {
        EXPECT_EQ(test::fs::path(path), program);
        started.push_back(std::move(commandLine));
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
        int count = 0;
        wchar_t** arguments = ::CommandLineToArgvW(started[i].c_str(), &count);
        ASSERT_EQ(count, 3) << test::Utf8(started[i]);
        EXPECT_EQ(std::pair(test::fs::path(arguments[0]), CueOfArgument(arguments[2])),
                  std::pair(program, std::optional(played[i])));
        const test::Texts rest{test::Utf8(arguments[1]), test::Utf8(arguments[2])};
        ::LocalFree(arguments);
        EXPECT_EQ(test::RunProgram(program, rest, folder.path, 10s).status, expected)
            << test::Utf8(started[i]);
    }
    for (const test::Texts& odd : {test::Texts{"--play-cue"}, test::Texts{"--play-cue", "louder"},
                                   test::Texts{"--play-cue", "done", "again"}}) {
        EXPECT_EQ(test::RunProgram(program, odd, folder.path, 10s).status, kCueUnknown)
            << testing::PrintToString(odd);
    }
    const std::wstring quoted = L"\"" + program.wstring() + L"\"";
    // Started for real: the copy is left to end on its own.
    EXPECT_TRUE(ChildProcessCues::StartDetached(program, quoted + L" --play-cue x"));
    EXPECT_FALSE(ChildProcessCues::StartDetached(program.parent_path() / L"none.exe",
                                                 L"none.exe --play-cue done"));
}

}  // namespace
