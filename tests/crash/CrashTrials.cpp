// Crash trials: `watch`, which the power-cut suite runs only once through
// (--once), is killed with SIGKILL while it copies a large save. Every
// automatic backup must hold the whole state or not be there, and the next
// run must back the state up.
//
// Environment (bench/crash-trials.sh sets them for a long run):
// TSUMUGIYA_CRASH_TRIALS (default 200, a tenth of them run) and
// TSUMUGIYA_CRASH_SEED.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <random>

#include "support/TestSupport.h"

using namespace tsumugiya::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kSaveSize = std::size_t{64} << 20;
constexpr int kStates = 4;  // distinct random contents

std::uint64_t EnvOr(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

TEST(CrashTrials, KilledWatchLeavesNoHalfBackup) {
    const std::uint64_t trials = EnvOr("TSUMUGIYA_CRASH_TRIALS", 200) / 10 + 2;
    const std::uint64_t seed = EnvOr("TSUMUGIYA_CRASH_SEED", 20261206);
    std::mt19937_64 random(seed);
    std::array<std::string, kStates> states;
    for (std::string& state : states) {
        state.resize(kSaveSize);
        std::ranges::generate(state, [&] { return static_cast<char>(random()); });
    }
    // The program keeps its settings and backups beside its own binary.
    const TempFolder root;
    const fs::path exe = root / "tsumugiya-cli", backups = root / "backup";
    const fs::path save = root / "save" / "game.sav";
    fs::create_directories(save.parent_path());
    fs::create_directory(backups);
    fs::copy_file(TSUMUGIYA_CLI, exe);
    ASSERT_EQ(RunProgram(exe, {"use", save.string()}, root.path).status, 0);
    std::ofstream(root / "tsumugiya.ini", std::ios::app) << "[AutoBackup]\nsettle=0.05\n";
    const auto holds = [&](const fs::path& file, std::size_t state) {
        return ReadFile(file) == states[state];
    };
    Clock::duration copy{};
    std::uint64_t killed = 0;
    for (std::uint64_t i = 0; i < trials; ++i) {
        fs::remove_all(backups);
        fs::create_directory(backups);
        // The save as a new file at a new time: each trial copies afresh.
        const std::size_t state = i % kStates;
        fs::remove(save);
        WriteFile(save, states[state]);
        const std::string context = "trial " + std::to_string(i) + ": ";
        if (i == 0) {  // not killed: its duration bounds the kill delays
            const auto start = Clock::now();
            ASSERT_EQ(RunProgram(exe, {"watch", "--once"}, root.path).status, 0);
            copy = Clock::now() - start;
            continue;
        }
        std::uniform_int_distribution<Clock::rep> delays(0, copy.count() * 6 / 5);
        const auto delay =
            std::chrono::milliseconds(50) + Clock::duration(delays(random));  // past the settle
        const Outcome run = RunProgram(exe, {"watch"}, root.path, delay);
        EXPECT_EQ(run.status, 128 + SIGKILL) << context << run.err;
        for (const std::string& name : Names(backups)) {
            if (name.ends_with("_自動")) {
                EXPECT_TRUE(holds(backups / name, state)) << context << name << " is not whole";
            } else if (name.starts_with(".tsumugiya-") && name.ends_with(".tmp")) {
                ++killed;  // a copy was under way
            }
        }
        const Outcome again = RunProgram(exe, {"watch", "--once"}, root.path);
        EXPECT_EQ(again.status, 0) << context << again.err;
        int whole = 0;
        for (const std::string& name : Names(backups)) {
            whole += name.ends_with("_自動") && holds(backups / name, state);
        }
        EXPECT_EQ(whole, 1) << context << "the state is not backed up once";
    }
    std::cout << "watch kills: " << trials - 1 << " trials, " << killed << " mid-copy, seed "
              << seed << "\n";
    EXPECT_GE(killed * 4, trials - 1) << "too few kills landed while a copy was running";
}

}  // namespace
