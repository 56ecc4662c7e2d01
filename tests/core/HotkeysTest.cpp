// The global hotkeys' keys, settings and commands through a stand-in window.

#include "FileTime.h"
#include "support/FakeHost.h"

using namespace tsumugiya;
using namespace tsumugiya::test;

namespace {

// Reading and writing the keys: the spellings a hand-edited file may hold
// come back in one form, and chords that would steal a game's own keys are
// refused.
TEST(HotkeyKeys, ChordsReadInAnySpellingAndWriteInOne) {
    for (const auto& [text, written] : std::vector<std::pair<std::string, std::string>>{
             {"Ctrl+F5", "Ctrl+F5"},
             {" shift + control + f12 ", "Ctrl+Shift+F12"},
             {"Super+Alt+pgdown", "Alt+Meta+PgDown"},
             {"Win+9", "Meta+9"},
             {"ctrl+a", "Ctrl+A"}}) {
        const auto chord = ParseKeyChord(text);
        ASSERT_TRUE(chord) << text;
        EXPECT_EQ(KeyChordText(*chord), written);
        EXPECT_EQ(ParseKeyChord(written), chord);
    }
    for (const char* refused : {"F5", "Shift+F5", "Ctrl+", "Ctrl+Ctrl+F5", "Ctrl+F25", "Ctrl+F5+F6",
                                "Hyper+F5", "Ctrl+É", ""}) {
        EXPECT_FALSE(ParseKeyChord(refused)) << refused;
    }
}

TEST(HotkeyKeys, TheSectionTurnsKeysOffAndNamesWhatItCannotRead) {
    const HotkeySettings defaults = ReadHotkeySettings("");
    EXPECT_TRUE(defaults.enabled && defaults.sound && defaults.problems.empty());
    EXPECT_EQ(ActiveBindings(defaults).size(), kHotkeyActions.size());  // a key of its own each

    const HotkeySettings read = ReadHotkeySettings(
        "[Settings]\nbackup=Alt+F1\n[Hotkeys]\nbackup=Ctrl+F55\nquick=\nrestore=Alt+F5\nsound=0\n");
    EXPECT_FALSE(read.sound);
    EXPECT_EQ(ActiveBindings(read), (HotkeyBindings{{HotkeyAction::Restore, {kModAlt, "F5"}}}));
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_NE(read.problems[0].find("backup=Ctrl+F55"), std::string::npos);

    EXPECT_TRUE(ActiveBindings(ReadHotkeySettings("[Hotkeys]\nenabled=0\n")).empty());
    // One key for two actions is taken once, for the first.
    EXPECT_EQ(ActiveBindings(ReadHotkeySettings("[Hotkeys]\nquick=Ctrl+F5\nrestore=\n")),
              (HotkeyBindings{{HotkeyAction::Backup, {kModCtrl, "F5"}}}));
    EXPECT_EQ(ReadHotkeySettings("[Hotkeys]\nenabled=maybe\n").problems.size(), 1u);
}

class HotkeyTest : public CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        ASSERT_TRUE(locations.SaveSettings(error));
    }
    // Starts the window afresh on the settings file as it now is.
    void StartWindow() {
        host.TakeLog();
        host.StartUp(dir / "app/tsumugiya");
    }
    std::vector<Cue> Cues() { return std::exchange(host.cues.played, {}); }

    platform::IoError error;
};

// What the keys are for: one key before the boss, one to go back, and the
// game keeps the focus: no question, no box, the result in the title
// and a cue.
TEST_F(HotkeyTest, KeysBackUpAndGoBackWithoutABox) {
    StartWindow();
    host.memo = "ボス戦の前";
    const std::string bossName = "slot1.dat.save." + FormatFileTime(kTimeA) + "_ボス戦の前";
    EXPECT_EQ(host.OnHotkey(HotkeyAction::Backup).title, bossName + " にバックアップ");
    EXPECT_EQ(host.OnHotkey(HotkeyAction::QuickBackup).cue, Cue::Done);
    // Unchanged since: kept already, not a failure (that nothing is written
    // is the commands' own business).
    const HotkeyReport again = host.OnHotkey(HotkeyAction::Backup);
    EXPECT_EQ(again.cue, Cue::AlreadyKept);
    EXPECT_NE(again.title.find(bossName), std::string::npos);

    // The game dies and saves, twice; going back each time, with the confirm
    // box ticked, asks nothing, puts back the newest checkpoint and says
    // which state it kept (what it keeps is the commands' own business).
    WriteFile(save, "state B", kTimeB);
    host.confirm = true;
    EXPECT_EQ(host.OnHotkey(HotkeyAction::Restore).cue, Cue::Done);
    EXPECT_EQ(StateOf(save), kStateA);
    WriteFile(save, "state C", kTimeB + 60);
    const HotkeyReport back = host.OnHotkey(HotkeyAction::Restore);
    EXPECT_EQ(back.cue, Cue::Done);
    EXPECT_EQ(StateOf(save), kStateA);
    EXPECT_NE(back.notificationBody.find("_戻す前"), std::string::npos);
    EXPECT_TRUE(host.told.empty() && host.asked.empty());
    EXPECT_EQ(Cues(),
              (std::vector<Cue>{Cue::Done, Cue::Done, Cue::AlreadyKept, Cue::Done, Cue::Done}));
    EXPECT_EQ(host.notified.size(), 5u);
}

TEST_F(HotkeyTest, FailuresPlayTheFailedCueAndSoundOffPlaysNone) {
    StartWindow();
    // Nothing to go back to.
    const HotkeyReport none = host.OnHotkey(HotkeyAction::Restore);
    EXPECT_EQ(none.cue, Cue::Failed);
    EXPECT_NE(none.title.find("slot1.dat"), std::string::npos);
    // The save gone: the file and the cause, on one line for the title.
    fs::remove(save);
    const HotkeyReport gone = host.OnHotkey(HotkeyAction::QuickBackup);
    EXPECT_EQ(gone.cue, Cue::Failed);
    EXPECT_EQ(gone.title.find('\n'), std::string::npos);
    EXPECT_NE(gone.title.find(Utf8(save)), std::string::npos);
    EXPECT_TRUE(host.told.empty());
    EXPECT_EQ(Cues(), (std::vector<Cue>{Cue::Failed, Cue::Failed}));

    HotkeySettings quiet = host.Hotkeys();
    quiet.sound = false;
    ASSERT_FALSE(host.ChangeHotkeys(quiet));
    host.OnHotkey(HotkeyAction::QuickBackup);
    EXPECT_TRUE(Cues().empty());
    EXPECT_EQ(host.notified.size(), 3u);
}

// A key pressed while a button's command waits on its question is refused,
// never run inside it.
TEST_F(HotkeyTest, AKeyDuringAButtonsCommandIsRefused) {
    StartWindow();
    ASSERT_EQ(host.OnHotkey(HotkeyAction::QuickBackup).cue, Cue::Done);
    host.confirm = true;
    std::optional<HotkeyReport> during;
    host.duringBox = [&] { during = host.OnHotkey(HotkeyAction::QuickBackup); };
    WriteFile(save, "state B", kTimeB);
    host.answers = "n";
    host.Select({"slot1.dat.save.temp"});
    host.OnRestore();
    ASSERT_TRUE(during);
    EXPECT_EQ(during->cue, Cue::Failed);
    EXPECT_EQ(during->title, messages::kBusy);
    EXPECT_EQ(StateOf(backup / "slot1.dat.save.temp"), kStateA);
}

// What the file says is what the window takes, and what the dialog shows is
// what the file then says; a key held by another program is named at start,
// and the others still work.
TEST_F(HotkeyTest, KeysComeFromTheFileAndGoBackToIt) {
    ASSERT_TRUE(platform::WriteProfileStrings(locations.SettingsPath(), "Hotkeys",
                                              {{"backup", "Ctrl+F55"}, {"restore", "Alt+F9"}},
                                              error));
    host.heldElsewhere = {{kModCtrl, "F6"}};
    StartWindow();
    EXPECT_EQ(host.grabbed, (HotkeyBindings{{HotkeyAction::QuickBackup, {kModCtrl, "F6"}},
                                            {HotkeyAction::Restore, {kModAlt, "F9"}}}));
    ASSERT_EQ(host.told.size(), 1u);  // one box for both
    EXPECT_NE(host.told[0].find("backup=Ctrl+F55"), std::string::npos);
    EXPECT_NE(host.told[0].find("固定名 バックアップ: Ctrl+F6"), std::string::npos);
    // Left in the file for the user to mend.
    EXPECT_NE(ReadFile(locations.SettingsPath()).value_or("").find("Ctrl+F55"), std::string::npos);

    HotkeySettings shown = host.Hotkeys();
    shown.Key(HotkeyAction::Backup) = KeyChord{kModCtrl | kModShift, "B"};
    shown.Key(HotkeyAction::QuickBackup).reset();
    host.heldElsewhere.clear();
    ASSERT_FALSE(host.ChangeHotkeys(shown));
    EXPECT_EQ(host.grabbed, (HotkeyBindings{{HotkeyAction::Backup, {kModCtrl | kModShift, "B"}},
                                            {HotkeyAction::Restore, {kModAlt, "F9"}}}));
    const HotkeySettings reread =
        ReadHotkeySettings(ReadFile(locations.SettingsPath()).value_or(""));
    EXPECT_EQ(reread.keys, shown.keys);
    EXPECT_TRUE(reread.problems.empty());
    // Its own write is no one else's change: the save chosen is kept at close.
    EXPECT_FALSE(locations.SettingsChangedElsewhere());
}

TEST(ElevationHint, SaidOnceWhenAnElevatedGameHidesItsKeys) {
    ElevationHint hint;
    EXPECT_FALSE(hint.OnForeground(false, true, false));  // hotkeys off
    EXPECT_FALSE(hint.OnForeground(true, true, true));    // elevated too: keys reach it
    EXPECT_FALSE(hint.OnForeground(true, false, false));
    EXPECT_EQ(hint.OnForeground(true, true, false), std::string(messages::kElevatedForeground));
    EXPECT_FALSE(hint.OnForeground(true, true, false));
}

}  // namespace
