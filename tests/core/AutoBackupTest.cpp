// Automatic backups: the settings, the pool and what is skipped, through the
// core's taker; then the watcher on the system's real folder watch (inotify,
// ReadDirectoryChangesW under Wine) with a stand-in game writing the save.

#include <thread>

#include "AutoBackupPool.h"
#include "AutoBackupSettings.h"
#include "AutoBackupTaker.h"
#include "AutoBackupWatcher.h"
#include "FileTime.h"
#include "support/FakeHost.h"
#include "support/StandInGame.h"

using namespace tsumugiya;
using namespace tsumugiya::test;
using namespace std::chrono_literals;
using Kind = AutoBackupResult::Kind;

namespace {

TEST(AutoBackupSettings, ReadFromTheSectionAndNameWhatCannotBeRead) {
    const AutoBackupSettings defaults = ReadAutoBackupSettings("");
    EXPECT_FALSE(defaults.enabled);

    const AutoBackupSettings read =
        ReadAutoBackupSettings("[AutoBackup]\nenabled=1\nsettle= 0.25 \nkeep=3\n");
    EXPECT_EQ(std::tuple(read.enabled, read.problems, read.settle.count(), read.keep),
              std::tuple(true, Texts{}, 250, 3));
    const AutoBackupSettings bad =
        ReadAutoBackupSettings("[AutoBackup]\nenabled=yes\nsettle=0\nkeep=-2\n");
    ASSERT_EQ(bad.problems.size(), 3u);
    EXPECT_NE(bad.problems[1].find("settle=0"), std::string::npos);
    EXPECT_EQ(std::pair(bad.settle, bad.keep), std::pair(defaults.settle, defaults.keep));
    EXPECT_EQ(ReadAutoBackupSettings("[AutoBackup]\nsettle=2s\n").problems.size(), 1u);
    EXPECT_EQ(ReadAutoBackupSettings("[AutoBackup]\nsettle=0.0004\n").problems.size(), 1u);
}

class AutoBackupTest : public CommandTest {
  protected:
    // A new state of the save, each a second apart, as a game would write it.
    void SaveState(int n) { WriteFile(save, "state " + std::to_string(n), kTimeA + 10 + n); }
    std::string AutoName(int n) const {
        return "slot1.dat.save." + FormatFileTime(kTimeA + 10 + n) + "_自動";
    }
    Texts Automatic() const {
        Texts names = Names(backup);
        std::erase_if(names,
                      [](const std::string& name) { return name.find("_自動") == name.npos; });
        return names;
    }

    CommandGate gate;
    AutoBackupTaker taker{locations, gate, 3};
};

// The pool keeps the newest three of ten, and nothing it did not commit is
// ever pruned: not a manual backup, the quick one, a state kept by a
// restore, a memo the player typed as 自動 (now or with an older version),
// nor one of its own that the player has since written over.
TEST_F(AutoBackupTest, ThePoolPrunesOnlyWhatItCommitted) {
    host.memo = "自動";
    commands.OnBackup();
    commands.OnFixedNameBackup();
    SaveState(0);
    ASSERT_EQ(taker.Take().kind, Kind::Made);
    WriteFile(safety, "before a restore", kTimeB);
    Restore({"slot1.dat.save." + FormatFileTime(kTimeA) + "_自動"});
    ASSERT_TRUE(restored.keptBeforeRestore);
    const std::string older = AutoName(1);  // the same form, made by the player's hand
    WriteFile(backup / U8(older), "old version", kTimeA + 11);
    SaveState(2);
    ASSERT_EQ(taker.Take().kind, Kind::Made);
    WriteFile(backup / U8(AutoName(2)), "written over by the player");
    const Texts others{"slot1.dat.save." + FormatFileTime(kTimeA) + "_自動", "slot1.dat.save.temp",
                       *restored.keptBeforeRestore, older, AutoName(2)};

    for (int n = 3; n < 12; ++n) {
        SaveState(n);
        ASSERT_EQ(taker.Take().kind, Kind::Made) << n;
    }
    Texts expected = others;
    expected.insert(expected.end(), {AutoName(9), AutoName(10), AutoName(11)});
    std::ranges::sort(expected);
    Texts left = Names(backup);
    std::erase(left, std::string(AutoBackupPool::kLedgerName));
    EXPECT_EQ(left, expected);
    EXPECT_EQ(StateOf(backup / U8(AutoName(11))), FileState("state 11", kTimeA + 21));
}

// Bytes a backup of this save holds already are not copied again: the same
// bytes at a new time, a restore putting a backup back, a second watcher
// seeing the same write. Another state within the same second gets a number.
TEST_F(AutoBackupTest, AStateHeldAlreadyWritesNothing) {
    SaveState(1);
    ASSERT_EQ(taker.Take().kind, Kind::Made);
    WriteFile(save, "state 1", kTimeA + 50);
    auto before = Snapshot(backup);
    EXPECT_EQ(taker.Take().backup, AutoName(1));
    CommandGate otherGate;
    EXPECT_EQ(AutoBackupTaker(locations, otherGate, 3).Take().kind, Kind::SameState);
    EXPECT_EQ(Snapshot(backup), before);

    commands.OnFixedNameBackup();
    host.memo = "manual";
    WriteFile(save, "state A", kTimeA);
    commands.OnBackup();
    SaveState(2);
    ASSERT_EQ(taker.Take().kind, Kind::Made);
    Restore({"slot1.dat.save." + FormatFileTime(kTimeA) + "_manual"});
    before = Snapshot(backup);
    const AutoBackupResult restoredState = taker.Take();
    EXPECT_EQ(restoredState.kind, Kind::SameState) << restoredState.Line();
    EXPECT_EQ(Snapshot(backup), before);

    WriteFile(save, "state 2, again", kTimeA + 12);
    const AutoBackupResult sameSecond = taker.Take();
    EXPECT_EQ(sameSecond.backup, AutoName(2) + "2");
    EXPECT_EQ(ReadFile(backup / U8(sameSecond.backup)), "state 2, again");
}

// What the pool cannot be sure of stays: a ledger it cannot read is neither
// rewritten nor pruned from, and the player's link to the save holds no state.
TEST_F(AutoBackupTest, ALedgerItCannotReadAndALinkToTheSaveKeepNothingFromIt) {
    SaveState(1);
    ASSERT_EQ(taker.Take().kind, Kind::Made);
    const fs::path ledger = backup / std::string(AutoBackupPool::kLedgerName);
    WriteFile(ledger, "a ledger of another version\n" + Utf8(backup / U8(AutoName(1))));
    for (int n = 2; n < 6; ++n) {
        SaveState(n);
        const AutoBackupResult made = taker.Take();  // said, with the ledger named
        EXPECT_EQ(std::pair(made.kind, made.Failed()), std::pair(Kind::Made, true)) << made.Line();
    }
    EXPECT_EQ(Automatic().size(), 5u);
    EXPECT_EQ(ReadFile(ledger).value_or("").substr(0, 8), "a ledger");
#ifndef _WIN32
    fs::remove(ledger);
    fs::create_symlink(save, backup / "slot1.dat.save.mine");
    SaveState(6);
    EXPECT_EQ(taker.Take().kind, Kind::Made);
#endif
}

// An automatic backup may be pruned, so it never keeps the safety copy's
// state for a restore, and going back lands on a backup the player made.
TEST_F(AutoBackupTest, AutomaticBackupsNeitherKeepAStateNorAreGoneBackTo) {
    host.memo = "manual";
    commands.OnBackup();
    SaveState(1);
    ASSERT_EQ(taker.Take().kind, Kind::Made);
    WriteFile(safety, "state 1", kTimeA + 11);
    host.TakeLog();
    EXPECT_EQ(host.OnHotkey(HotkeyAction::Restore).cue, Cue::Done);
    EXPECT_EQ(ReadFile(save), "state A");
    EXPECT_TRUE(std::ranges::count(Names(backup),
                                   "slot1.dat.save." + FormatFileTime(kTimeA + 11) + "_戻す前"));
}

// The watcher in a loop of the kind every front-end runs, while the game
// writes on a thread of its own; what it did, once all is quiet again.
class WatcherTest : public AutoBackupTest {
  protected:
    std::vector<AutoBackupResult> Run(AutoBackupWatcher& watcher,
                                      const std::function<void()>& game) {
        std::vector<AutoBackupResult> results;
        std::atomic<bool> done = false;
        std::jthread writer([&] {
            game();
            done = true;
        });
        auto quietSince = AutoBackupWatcher::Clock::now();
        const auto giveUp = quietSince + 20s;
        for (auto now = quietSince; now < giveUp; now = AutoBackupWatcher::Clock::now()) {
            const auto deadline = watcher.Deadline();
            if (!done || deadline) {
                quietSince = now;
            } else if (now - quietSince > 500ms) {
                break;
            }
            const auto wait = deadline
                                  ? std::chrono::ceil<std::chrono::milliseconds>(*deadline - now)
                                  : std::chrono::milliseconds(50);
            if (platform::WaitForAny({watcher.Waitable()}, std::min(wait, 50ms))) {
                watcher.OnReady();
            }
            if (auto result = watcher.OnTimer()) {
                results.push_back(std::move(*result));
            }
        }
        return results;
    }

    // The first thing the watcher has to say.
    AutoBackupResult Next(AutoBackupWatcher& watcher) {
        for (const auto giveUp = AutoBackupWatcher::Clock::now() + 10s;
             AutoBackupWatcher::Clock::now() < giveUp;) {
            if (platform::WaitForAny({watcher.Waitable()}, 50ms)) {
                watcher.OnReady();
            }
            if (auto result = watcher.OnTimer()) {
                return *result;
            }
        }
        ADD_FAILURE() << "the watcher said nothing";
        return {};
    }

    AutoBackupSettings settings{.enabled = true, .settle = 300ms, .keep = 30, .problems = {}};
    StandInGame game{save};
};

TEST_F(WatcherTest, EachSettledStateIsBackedUpOnceWhole) {
    AutoBackupWatcher watcher(locations, settings, gate);
    EXPECT_EQ(Run(watcher, [] {}).at(0).kind, Kind::Made);  // the state found at start
    int n = 0;
    for (const GameWrite how :
         {GameWrite::InPlace, GameWrite::RenamedOver, GameWrite::TwoSteps, GameWrite::Slowly}) {
        SCOPED_TRACE(static_cast<int>(how));
        const std::string bytes = std::string(4000 + 100 * n, 'a' + static_cast<char>(n));
        const Texts before = Automatic();
        const auto results = Run(watcher, [&] { game.Write(how, bytes); });
        ASSERT_EQ(results.size(), 1u);
        ASSERT_EQ(results[0].kind, Kind::Made) << results[0].Line();
        EXPECT_EQ(Automatic().size(), before.size() + 1);
        EXPECT_EQ(StateOf(backup / U8(results[0].backup)), FileState(bytes, ModTime(save)));
        ++n;
    }
    const auto before = Snapshot(backup);
    const auto rewritten = Run(watcher, [&] { game.Write(GameWrite::InPlace, *ReadFile(save)); });
    ASSERT_EQ(rewritten.size(), 1u);
    EXPECT_EQ(rewritten[0].kind, Kind::SameState);
    EXPECT_EQ(Snapshot(backup), before);
}

// A command running when the save settles holds the watcher off until the
// next settle; a save folder removed and made again is watched again.
TEST_F(WatcherTest, ABusyGateAndALostFolderAreWaitedOut) {
    AutoBackupWatcher watcher(locations, settings, gate);
    Run(watcher, [] {});
    std::optional<CommandPass> command(gate);
    game.Write(GameWrite::InPlace, "during a command");
    EXPECT_EQ(Next(watcher).kind, Kind::Busy);
    command.reset();
    const AutoBackupResult after = Next(watcher);
    EXPECT_EQ(ReadFile(backup / U8(after.backup)), "during a command");

    const auto results = Run(watcher, [&] {
        fs::remove_all(save.parent_path());
        std::this_thread::sleep_for(100ms);
        fs::create_directory(save.parent_path());
        std::this_thread::sleep_for(100ms);
        game.Write(GameWrite::InPlace, "in a new folder");
    });
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(results.back().kind, Kind::Made) << results.back().Line();
    EXPECT_EQ(ReadFile(backup / U8(results.back().backup)), "in a new folder");
}

// A backup that fails (here the backup drive gone: a file where its folder
// was) is said once and tried again with no write by the game, each wait
// twice the last up to five minutes; the success after it ends the row, so
// the next failure is said again and waited for from the settle time.
TEST_F(WatcherTest, AFailedBackupIsTriedAgainOnItsOwn) {
    const auto unplug = [&] {
        fs::remove_all(backup);
        WriteFile(backup, "not a folder");
    };
    unplug();
    auto now = AutoBackupWatcher::Clock::now();
    AutoBackupWatcher watcher(locations, settings, gate, now);
    now += settings.settle;
    const auto failed = watcher.OnTimer(now);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->kind, Kind::Failed);
    std::vector<std::chrono::milliseconds> waits;
    while (waits.size() < 12) {  // enough to reach the cap from 300ms
        ASSERT_TRUE(watcher.Deadline());
        waits.push_back(
            std::chrono::duration_cast<std::chrono::milliseconds>(*watcher.Deadline() - now));
        now = *watcher.Deadline();
        EXPECT_FALSE(watcher.OnTimer(now)) << "said again at try " << waits.size();
    }
    EXPECT_EQ(waits.front(), settings.settle);
    EXPECT_EQ(waits.back(), 5min);
    for (std::size_t i = 1; i < waits.size(); ++i) {
        EXPECT_EQ(waits[i], std::min(waits[i - 1] * 2, std::chrono::milliseconds(5min))) << i;
    }

    fs::remove(backup);
    fs::create_directory(backup);
    now = *watcher.Deadline();
    const auto made = watcher.OnTimer(now);
    ASSERT_TRUE(made);
    ASSERT_EQ(made->kind, Kind::Made) << made->Line();
    EXPECT_EQ(ReadFile(backup / U8(made->backup)), ReadFile(save));
    EXPECT_FALSE(watcher.Deadline());

    unplug();
    SaveState(1);
    while (platform::WaitForAny({watcher.Waitable()}, 500ms)) {
        watcher.OnReady(now);
    }
    ASSERT_EQ(watcher.Deadline(), now + settings.settle);
    now += settings.settle;
    const auto again = watcher.OnTimer(now);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->kind, Kind::Failed);
    EXPECT_EQ(watcher.Deadline(), now + settings.settle);
}

// The windows' switch: kept in the settings file, shown in the title, and
// a state the game writes is backed up while the player's selection stays.
TEST_F(AutoBackupTest, TheWindowsSwitchWatchesAndShowsItInTheTitle) {
    platform::IoError error;
    ASSERT_TRUE(locations.SaveSettings(error));
    ASSERT_TRUE(platform::WriteProfileStrings(locations.SettingsPath(), "AutoBackup",
                                              {{"settle", "0.2"}, {"keep", "many"}}, error));
    host.StartUp(dir / "app/tsumugiya");
    EXPECT_FALSE(host.watched);
    EXPECT_EQ(host.titles.back(), "Tsumugiya");
    ASSERT_EQ(host.told.size(), 1u);  // the value it cannot read, named at start
    EXPECT_NE(host.told[0].find("keep=many"), std::string::npos);
    ASSERT_EQ(commands.OnBackup().result, CommandResult::Done);
    const std::string mine = Names(backup).at(0);
    host.Select({mine});

    ASSERT_FALSE(host.SetAutoBackup(true));
    EXPECT_EQ(host.titles.back(), "Tsumugiya [自動]");
    EXPECT_TRUE(host.watched);
    host.RunEventLoop(500ms);  // the state at start is the player's backup already
    EXPECT_EQ(Automatic().size(), 0u);
    host.TakeLog();
    SaveState(2);
    host.RunEventLoop(800ms);
    EXPECT_EQ(Automatic(), Texts{AutoName(2)});
    const Texts log = host.TakeLog();
    EXPECT_TRUE(std::ranges::count(log, "Status " + AutoName(2) + " にバックアップ")) << log.back();
    EXPECT_EQ(host.list.Text(host.list.SelectedIndices(1).at(0)), mine);

    // A failure stays in the title's mark, past its own line, until a retry
    // backs the state up with no write by the game.
    const fs::path away = backup.string() + "-away";
    fs::rename(backup, away);
    WriteFile(backup, "in the way");
    SaveState(3);
    host.RunEventLoop(800ms);
    EXPECT_EQ(host.titles.back(), "Tsumugiya [自動：失敗]");
    fs::remove(backup);
    fs::rename(away, backup);
    host.RunEventLoop(2s);  // past the next retry, however late the last one came
    EXPECT_EQ(Automatic(), (Texts{AutoName(2), AutoName(3)}));
    EXPECT_EQ(host.titles.back(), "Tsumugiya [自動]");

    // Kept in the file: the next start watches at once; off stops it all.
    FakeHost next{locations};
    locations.ReadSettings();
    next.StartUp(dir / "app/tsumugiya");
    EXPECT_TRUE(next.IsAutoBackupOn());
    ASSERT_FALSE(next.SetAutoBackup(false));
    EXPECT_FALSE(next.watched || next.deadline);
    EXPECT_EQ(next.titles.back(), "Tsumugiya");
    const std::string file = ReadFile(locations.SettingsPath()).value_or("");
    EXPECT_FALSE(ReadAutoBackupSettings(file).enabled);
    EXPECT_NE(file.find("keep=many"), std::string::npos);  // left for the user to mend
}

#ifndef _WIN32
// A save the player linked to the game's own file changes where the link
// leads: that folder is the one watched.
TEST_F(WatcherTest, ASaveLinkedToTheGamesFileIsWatchedWhereTheGameWrites) {
    const fs::path real = dir / "prefix" / "slot.dat";
    fs::create_directories(real.parent_path());
    WriteFile(real, "state 0", kTimeA);
    fs::remove(save);
    fs::create_symlink(real, save);
    AutoBackupWatcher watcher(locations, settings, gate);
    Run(watcher, [] {});
    StandInGame game{real};
    const auto results = Run(watcher, [&] { game.Write(GameWrite::RenamedOver, "state 1"); });
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(ReadFile(backup / U8(results[0].backup)), "state 1");
}
#endif

}  // namespace
