// tsumugiya-cli as a user runs it: each test installs a private copy in a
// fresh folder, where its settings file and backup folder then appear.

#include <gtest/gtest.h>

#include <tuple>

#include "support/TestSupport.h"

using namespace tsumugiya::test;
using Calls = std::vector<std::vector<std::string>>;

namespace {

constexpr std::int64_t kTimeA = 1678075268;  // 2023-03-06 04:01:08 UTC
constexpr std::int64_t kTimeB = kTimeA + 3600;

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(game);
        fs::copy_file(TSUMUGIYA_CLI, exe);
        WriteFile(save, "state A", kTimeA);
    }
    Outcome Run(const std::vector<std::string>& args) { return RunProgram(exe, args, app.path); }
    std::string Where(const std::string& ini, const std::string& savePath) {
        return "settings: " + (app / ini).string() + "\nsave: " + savePath +
               "\nbackups: " + backups.string() + "\n";
    }

    TempFolder app;
    fs::path game = app / "ゲーム データ", exe = app / "tsumugiya-cli", backups = app / "backup";
    fs::path save = game / "セーブ 1.dat";
    const std::string nameA = "セーブ 1.dat.save.2023年03月06日04時01分08秒_";
};

TEST_F(Cli, WholeSessionOnAJapaneseNameWithSpaces) {
    const Outcome use = RunProgram(exe, {"use", "セーブ 1.dat"}, game);  // relative to cwd
    EXPECT_EQ(std::tuple(use.status, use.out), std::tuple(0, "save: " + save.string() + "\n"));
    EXPECT_EQ(Run({"where"}).out, Where("tsumugiya.ini", save.string()));
    const Outcome first = Run({"backup", "--memo", "城の前"});
    EXPECT_EQ(std::tuple(first.status, first.out, first.err),
              std::tuple(0, nameA + "城の前 にバックアップ\n", ""));
    const Outcome again = Run({"backup", "--memo", "城の前"});
    EXPECT_EQ(std::tuple(again.status, again.out, again.err),
              std::tuple(1, "", "同じ名前のファイルがあります。\n"));
    WriteFile(save, "state B", kTimeB);
    ASSERT_EQ(Run({"quick"}).status, 0);
    EXPECT_EQ(Run({"list"}).out, "セーブ 1.dat.save.temp\n" + nameA + "城の前\n");
    const Outcome restore = Run({"restore", nameA + "城の前", "--yes"});
    EXPECT_EQ(std::tuple(restore.status, restore.out), std::tuple(0, " 選択ファイルをロード\n"));
    EXPECT_EQ(std::pair(StateOf(save), ReadFile(game / "セーブ 1.dat.s")),
              std::pair(FileState("state A", kTimeA), Content("state B")));
    ASSERT_EQ(Run({"restore", "--yes"}).status, 0);  // the newest
    EXPECT_EQ(ReadFile(save), "state B");
    EXPECT_EQ(Run({"delete", nameA + "城の前", "セーブ 1.dat.save.temp", "--yes"}).status, 0);
    EXPECT_EQ(Names(backups), Texts{});
}

TEST_F(Cli, SaveFileWithoutADotIsBackedUpAndListed) {
    WriteFile(game / "save", "state A", kTimeA);
    const Outcome use = Run({"use", (game / "save").string()});
    EXPECT_EQ(std::tuple(use.status, use.err), std::tuple(0, ""));
    ASSERT_EQ(Run({"backup", "--memo", "x"}).status, 0);
    EXPECT_EQ(Run({"list"}).out, "save.save.2023年03月06日04時01分08秒_x\n");
}

TEST_F(Cli, ABackupFolderThatCannotBeMadeIsSaidWithItsCause) {
    ASSERT_EQ(Run({"use", save.string()}).status, 0);
    WriteFile(save, "state A", kTimeA);
    fs::remove_all(backups);
    WriteFile(backups, "a file where the folder should be");
    const Outcome quick = Run({"quick"});
    EXPECT_EQ(quick.status, 1);
    EXPECT_TRUE(quick.err.starts_with("Could not create " + backups.string() + ": ")) << quick.err;
    EXPECT_EQ(ReadFile(backups), "a file where the folder should be");
}

TEST_F(Cli, SettingsFileIsNamedAfterTheBinaryWithoutCli) {
    fs::copy_file(TSUMUGIYA_CLI, app / "other-cli");
    ASSERT_EQ(Run({"use", save.string()}).status, 0);
    EXPECT_EQ(RunProgram(app / "other-cli", {"where"}, app.path).out, Where("other.ini", ""));
}

TEST_F(Cli, UsageErrorsGoToStderrWithStatusTwo) {
    const Calls calls = {{},      {"frobnicate"},          {"list", "--bogus"},
                         {"use"}, {"list", "--memo", "x"}, {"backup", "--yes"}};
    for (const auto& args : calls) {
        const Outcome run = Run(args);
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(2, ""))
            << testing::PrintToString(args);
        EXPECT_NE(run.err.find("\n\nusage: tsumugiya-cli COMMAND"), std::string::npos) << run.err;
    }
    const Outcome help = Run({"--help"});
    EXPECT_EQ(std::tuple(help.status, help.out.substr(0, 7), help.err),
              std::tuple(0, "usage: ", ""));
}

// No terminal to say yes on, or names that are not listed backups however they
// look: exit status 1 and nothing changed.
TEST_F(Cli, UnconfirmedOrUnknownTargetsChangeNothing) {
    ASSERT_EQ(Run({"use", save.string()}).status, 0);
    ASSERT_EQ(Run({"backup"}).status, 0);
    WriteFile(save, "state B", kTimeB);
    WriteFile(app / "x", "outside");
    WriteFile(game / "other.dat.save.1", "not a backup");
    const auto before = Snapshot(app.path);
    Calls calls = {{"restore"}, {"restore", nameA}, {"delete", nameA}};
    for (const std::string& name :
         Texts{"../x", (game / "other.dat.save.1").string(), "../ゲーム データ/other.dat.save.1",
               (backups / nameA).string(), "セーブ 1.dat.save.missing"}) {
        calls.insert(calls.end(), {{"restore", name, "--yes"}, {"delete", name, "--yes"}});
    }
    for (const auto& args : calls) {
        const Outcome run = Run(args);
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(1, ""))
            << testing::PrintToString(args);
    }
    EXPECT_EQ(Snapshot(app.path), before);
}

TEST_F(Cli, RestoreWithoutANameTakesTheNewestOfThisSaveOnly) {
    ASSERT_EQ(Run({"use", save.string()}).status, 0);
    ASSERT_EQ(Run({"backup"}).status, 0);
    WriteFile(backups / "other.dat.save.newer", "another game", kTimeB);
    WriteFile(save, "state B", kTimeB);
    EXPECT_EQ(Run({"restore", "--yes"}).status, 0);
    EXPECT_EQ(ReadFile(save), Content("state A"));
}

}  // namespace
