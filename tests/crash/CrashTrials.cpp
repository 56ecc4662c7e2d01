// Crash trials: tsumugiya-cli is killed with SIGKILL at random moments while it restores, backs
// up or quick-saves a large save file. Every file it may have been writing must then hold one
// whole state, the old or the new, and the next uninterrupted run must still work.
//
// Environment: TSUMUGIYA_CRASH_TRIALS (default 200), TSUMUGIYA_CRASH_SEED (default fixed),
// TSUMUGIYA_CRASH_SECONDS (no trial starts after this many seconds; default 240).

#include <gtest/gtest.h>
#include <malloc.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "support/TestSupport.h"

using namespace tsumugiya::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kSaveSize = std::size_t{64} << 20;
constexpr int kStates = 4;  // distinct random contents
// Broken: present but holding no whole state, as when torn, truncated or foreign.
constexpr int kMissing = -1, kBroken = kStates;
enum Command { kRestore, kBackup, kQuick };
// The files a command may write, whose states are tracked in this order; then restore source
// i, holding state i, which no command writes.
enum { kSave, kSafety, kQuickCopy, kSource };
using States = std::array<int, 3>;
constexpr int kSources[] = {0, 1, 2};

std::uint64_t EnvOr(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

std::string StateText(int id) {
    return id == kMissing ? "missing" : id == kBroken ? "broken" : "state " + std::to_string(id);
}

struct Rig {
    explicit Rig(std::uint64_t seed) {
        // The program keeps its settings and backups beside its own binary.
        fs::create_directories(files[kSave].parent_path());
        fs::create_directory(backups);
        fs::copy_file(TSUMUGIYA_CLI, exe);
        std::mt19937_64 random(seed);
        for (std::string& state : states) {
            state.resize(kSaveSize);
            std::ranges::generate(state, [&] { return static_cast<char>(random()); });
        }
        EXPECT_EQ(RunProgram(exe, {"use", files[kSave].string()}, root.path).status, 0);
    }

    // Puts every file into a known state: at the start and after a failed trial.
    States Reset() const {
        for (int i = 0; i < 6; ++i) {
            Write(files[i], i < kSource ? 3 - i : i - kSource);
        }
        return {3, 2, 1};
    }

    // Removes the backups and temporary files the last trial left, to bound the disk used. Then
    // makes the file the command writes differ from the save, so that its old and new states
    // tell apart. Returns a restore source that differs from the save and its safety copy.
    int Prepare(Command command, States& held) const {
        for (const fs::path& folder : {backups, files[kSave].parent_path()}) {
            for (const std::string& name : Names(folder)) {
                if (!std::ranges::count(files, folder / name)) {
                    fs::remove(folder / name);
                }
            }
        }
        const int written = command == kRestore ? kSafety : kQuickCopy;
        if (command != kBackup && held[written] == held[kSave]) {
            Write(files[written], held[written] = held[kSave] == 3 ? 0 : 3);
        }
        return *std::ranges::find_if(kSources,
                                     [&](int s) { return s != held[kSave] && s != held[kSafety]; });
    }

    // True when a restore from source keeps the safety copy as it is: there is one, and the
    // save already holds the source, as after a restore killed once it had replaced the save.
    bool KeepsSafetyCopy(int source) const {
        return fs::exists(files[kSafety]) && Identify(files[kSave]) == source;
    }

    // Checks every file after a run; one that was killed may also have left the old states.
    // Failures name the trial by context. Returns the states found.
    States Check(Command command, const States& before, int source, bool killed, bool keepsSafety,
                 const std::string& context) const {
        const auto expect = [&](const fs::path& file, int was, int next) {
            const int actual = Identify(file);
            EXPECT_TRUE(actual == next || (killed && actual == was))
                << context << file.filename() << " is " << StateText(actual) << ", not "
                << (killed ? StateText(was) + " or " : "") << StateText(next);
            return actual;
        };
        const int safetyAfter = keepsSafety ? before[kSafety] : before[kSave];
        const States after = command == kRestore ? States{source, safetyAfter, before[kQuickCopy]}
                             : command == kQuick
                                 ? States{before[kSave], before[kSafety], before[kSave]}
                                 : before;
        const States found{expect(files[0], before[0], after[0]),
                           expect(files[1], before[1], after[1]),
                           expect(files[2], before[2], after[2])};
        EXPECT_FALSE(found[kSave] != before[kSave] && found[kSafety] != before[kSave] &&
                     !keepsSafety)
            << context << "the save changed before its old state was put aside";
        if (command == kRestore) {
            expect(files[kSource + source], source, source);
        }
        const Outcome list = RunProgram(exe, {"list"}, root.path);
        EXPECT_EQ(list.status, 0) << context << "list failed: " << list.err;
        int kept = 0, made = 0;
        // The quick backup holds nothing for good: the next quick replaces it.
        std::vector<int> held{found[kSave], found[kSafety]};
        std::istringstream lines(list.out);
        for (std::string name; std::getline(lines, name);) {
            if (std::ranges::count(files, backups / name)) {
                ++kept;
            } else if (command == kRestore && name.find("_戻す前") != name.npos) {
                // A safety copy's state, kept before it was replaced: by this run, or by a
                // killed one before it whose safety copy held another state.
                const int state = Identify(backups / name);
                EXPECT_TRUE(state >= 0 && state < kStates)
                    << context << name << " is " << StateText(state) << ", not a whole state";
                held.push_back(state);
            } else if (command == kBackup && !name.starts_with(".tsumugiya-")) {
                ++made;  // in this trial, since Prepare removed the older ones
                expect(backups / name, before[kSave], before[kSave]);
            } else {
                ADD_FAILURE() << context << "unexpected entry listed: " << name;
            }
        }
        EXPECT_EQ(kept, 4) << context << "a restore source or the quick backup is not listed";
        // No restore, however interrupted, loses a state: each one the save or the safety
        // copy held before is still whole in one of them, a source or a kept backup.
        held.insert(held.end(), std::begin(kSources), std::end(kSources));
        for (const int state : {before[kSave], before[kSafety]}) {
            EXPECT_TRUE(state == kMissing || std::ranges::count(held, state))
                << context << StateText(state) << " is lost";
        }
        EXPECT_TRUE(made > 0 || killed || command != kBackup) << context << "no new backup";
        return found;
    }

    // Which whole state the file holds, compared byte for byte.
    int Identify(const fs::path& file) const {
        const Content bytes = ReadFile(file);
        return bytes ? int(std::ranges::find(states, *bytes) - states.begin()) : kMissing;
    }

    // A new file each time: the program may have hard-linked the old one to another name.
    void Write(const fs::path& file, int state) const {
        fs::remove(file);
        WriteFile(file, states[state]);
    }

    TempFolder root;
    fs::path exe = root / "tsumugiya-cli", backups = root / "backup";
    std::array<fs::path, 6> files{root / "save/game.sav",
                                  root / "save/game.sav.s",
                                  backups / "game.sav.save.temp",
                                  backups / "game.sav.save.source0",
                                  backups / "game.sav.save.source1",
                                  backups / "game.sav.save.source2"};
    std::array<std::string, kStates> states;
};

TEST(CrashTrials, KilledCommandsLeaveWholeFiles) {
    const std::uint64_t trials = EnvOr("TSUMUGIYA_CRASH_TRIALS", 200);
    const std::uint64_t seed = EnvOr("TSUMUGIYA_CRASH_SEED", 20261206);
    const auto timeLimit = std::chrono::seconds(EnvOr("TSUMUGIYA_CRASH_SECONDS", 240));
    const auto start = Clock::now();
    const auto& result = *::testing::UnitTest::GetInstance()->current_test_info()->result();
    // Whole-file reads then reuse heap pages instead of new zero-filled mappings each time,
    // which would double the time the trials take.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const Rig rig(seed);
    States held = rig.Reset();
    std::mt19937_64 random(seed);
    Clock::duration measured[3] = {};
    std::uint64_t ran = 0, landed = 0, failed = 0;

    // The first run of each command is not killed: it must work, and its duration bounds the
    // kill delays. A killed run is followed by an uninterrupted one, which starts from whatever
    // the kill left, must do the whole work, and renews that bound.
    for (std::uint64_t i = 0; i < trials + 3 && (i < 3 || Clock::now() - start < timeLimit); ++i) {
        const auto command = static_cast<Command>(i % 3);
        const int source = rig.Prepare(command, held);
        const int failuresBefore = result.total_part_count();
        for (bool kill = i >= 3, again = true; again; kill = false) {
            std::uniform_int_distribution<Clock::rep> delays(0, measured[command].count() * 6 / 5);
            const Clock::duration delay(kill ? delays(random) : 0);
            const Texts args[] = {
                {"restore", rig.files[kSource + source].filename(), "--yes"},
                {"backup", "--memo", "t" + std::to_string(i) + (kill ? "" : "again")},
                {"quick"}};
            const bool keepsSafety = command == kRestore && rig.KeepsSafetyCopy(source);
            const auto runStart = Clock::now();
            const Outcome run = RunProgram(rig.exe, args[command], rig.root.path,
                                           kill ? std::optional(delay) : std::nullopt);
            measured[command] = kill ? measured[command] : Clock::now() - runStart;
            const bool killed = kill && run.status == 128 + SIGKILL;
            const std::string context =
                "trial " + std::to_string(i) + ", " + args[command][0] +
                (kill ? ", kill at " + std::to_string(delay.count() / 1000) + " us: " : ": ");
            EXPECT_TRUE(killed || run.status == 0)
                << context << "exit status " << run.status << ": " << run.err;
            held = rig.Check(command, held, source, killed, keepsSafety, context);
            ran += kill;
            landed += killed;
            again = killed;
        }
        if (result.total_part_count() != failuresBefore) {
            ++failed;
            held = rig.Reset();
        }
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rig.Identify(rig.files[kSource + i]), i) << rig.files[kSource + i] << " changed";
    }
    std::cout << "crash trials: " << ran << " of " << trials << " trials, " << landed
              << " kills landed mid-command, " << failed << " failures\n  seed " << seed << ", "
              << std::chrono::duration<double>(Clock::now() - start).count() << " s\n";
    // Kills that all miss the command would test nothing.
    EXPECT_GE(landed * 2, ran) << "too few kills landed while a command was running";
}

// watch is killed while it copies a new state of the save: an automatic
// backup is whole or not there, and the next run backs the state up.
TEST(CrashTrials, KilledWatchLeavesNoHalfBackup) {
    const std::uint64_t trials = EnvOr("TSUMUGIYA_CRASH_TRIALS", 200) / 10 + 2;
    const Rig rig(EnvOr("TSUMUGIYA_CRASH_SEED", 20261206));
    const fs::path save = rig.files[kSave];
    std::ofstream(rig.root / "tsumugiya.ini", std::ios::app) << "[AutoBackup]\nsettle=0.05\n";
    std::mt19937_64 random(7);
    const auto settle = std::chrono::milliseconds(50);
    Clock::duration copy{};
    std::uint64_t killed = 0;
    for (std::uint64_t i = 0; i < trials; ++i) {
        for (const std::string& name : Names(rig.backups)) {
            fs::remove(rig.backups / name);
        }
        // The save at a new time, its bytes one of the states: each trial copies afresh.
        rig.Write(rig.files[kSave], static_cast<int>(i % kStates));
        const std::string context = "trial " + std::to_string(i) + ": ";
        if (i == 0) {
            const auto start = Clock::now();
            ASSERT_EQ(RunProgram(rig.exe, {"watch", "--once"}, rig.root.path).status, 0);
            copy = Clock::now() - start;
            continue;
        }
        std::uniform_int_distribution<Clock::rep> delays(0, copy.count() * 6 / 5);
        const auto delay = settle + Clock::duration(delays(random));
        const Outcome run = RunProgram(rig.exe, {"watch"}, rig.root.path, delay);
        EXPECT_EQ(run.status, 128 + SIGKILL) << context << run.err;
        for (const std::string& name : Names(rig.backups)) {
            if (name.ends_with("_自動")) {
                EXPECT_EQ(rig.Identify(rig.backups / name), static_cast<int>(i % kStates))
                    << context << name << " is not the whole state";
            } else if (name.starts_with(".tsumugiya-") && name.ends_with(".tmp")) {
                ++killed;  // a copy was under way
            }
        }
        const Outcome again = RunProgram(rig.exe, {"watch", "--once"}, rig.root.path);
        EXPECT_EQ(again.status, 0) << context << again.err;
        int whole = 0;
        for (const std::string& name : Names(rig.backups)) {
            EXPECT_FALSE(name.ends_with(".tmp")) << context << name << " was left";
            whole += name.ends_with("_自動") &&
                     rig.Identify(rig.backups / name) == static_cast<int>(i % kStates);
        }
        EXPECT_EQ(whole, 1) << context << "the state is not backed up once";
    }
    std::cout << "watch kills: " << trials - 1 << " trials, " << killed << " mid-copy\n";
    EXPECT_GE(killed * 4, trials - 1) << "too few kills landed while a copy was running";
}

}  // namespace
