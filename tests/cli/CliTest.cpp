// tsumugiya-cli as a user runs it: each test installs a private copy in a
// fresh folder, where its settings file and backup folder then appear.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <fstream>
#include <sstream>
#include <tuple>

#include "CliCommands.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

using namespace tsumugiya;
using namespace tsumugiya::test;

namespace {

#ifdef _WIN32
const std::string kExe = ".exe";
#else
const std::string kExe;
#endif
const std::string kCliName = "tsumugiya-cli" + kExe;
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
    // On a terminal, where the answers are typed; a program that waits for
    // more is killed.
    Outcome RunTyping(const std::vector<std::string>& args, std::string_view typed) {
        return RunProgram(exe, args, app.path, std::chrono::seconds(10), typed);
    }
    std::string Where(const std::string& ini, const std::string& savePath) {
        return "配置: ポータブル（プログラムと同じフォルダー）\n設定ファイル: " +
               Utf8((app / ini)) + "\nセーブファイル: " + savePath +
               "\nバックアップフォルダー: " + Utf8(backups) + "\n";
    }

    TempFolder app;
    fs::path game = app / U8("ゲーム データ"), exe = app / kCliName, backups = app / "backup";
    fs::path save = game / U8("セーブ 1.dat");
    const std::string nameA = "セーブ 1.dat.save.2023年03月06日04時01分08秒_";
    // The status without the blank that sets it off in a window title.
    const std::string restored = "選択ファイルをロード\n";
};

// A session on a Japanese name with spaces: what each command says, and its
// exit status. What a sequence of restores keeps is the core's tests' business.
TEST_F(Cli, WholeSessionSaysWhatItDid) {
    const Outcome use = RunProgram(exe, {"use", "セーブ 1.dat"}, game);  // relative to cwd
    EXPECT_EQ(std::tuple(use.status, use.out),
              std::tuple(0, "セーブファイル: " + Utf8(save) + "\n"));
    EXPECT_EQ(Run({"backup", "--memo", "A"}), (Outcome{0, nameA + "A にバックアップ\n", ""}));
    EXPECT_EQ(
        Run({"backup", "--memo=A"}),
        (Outcome{1, "",
                 "同じ名前のファイルがあります。\n変わっていないので、バックアップ済みです: " +
                     nameA + "A\n"}));
    WriteFile(save, "state B", kTimeB);
    ASSERT_EQ(Run({"backup", "--memo", "B"}).status, 0);
    WriteFile(save, "progress P", kTimeB + 3600);  // never backed up
    const std::string nameB = "セーブ 1.dat.save.2023年03月06日05時01分08秒_B";
    const std::string kept = "セーブ 1.dat.save.2023年03月06日06時01分08秒_戻す前";
    EXPECT_EQ(Run({"restore", nameA + "A", "--yes"}).out, restored + nameA + "A\n");
    const Outcome second = Run({"restore", nameB, "-y"});
    EXPECT_EQ(
        std::tuple(second.status, second.out),
        std::tuple(0, restored + nameB + "\nそれまでの控えをバックアップしました: " + kept + "\n"));
    WriteFile(save, "checkpoint Q", kTimeB + 1800);
    ASSERT_EQ(Run({"quick"}).status, 0);
    const std::string quick = "セーブ 1.dat.save.temp";
    EXPECT_EQ(Run({"list"}).out, kept + "\n" + quick + "\n" + nameB + "\n" + nameA + "A\n");
    // The newest the player made, not the progress the restore kept.
    WriteFile(save, "dead end", kTimeB + 7200);
    EXPECT_EQ(Run({"restore", "--yes"}).out, restored + quick + "\n");
    EXPECT_EQ(ReadFile(save), "checkpoint Q");
    EXPECT_EQ(Run({"delete", kept, nameB, nameA + "A", quick, "--yes"}).status, 0);
    EXPECT_EQ(Names(backups), Texts{});
}

// Each mistake is named on stderr, above the usage, with status 2.
TEST_F(Cli, UsageErrorsGoToStderrWithStatusTwo) {
    const std::pair<Texts, std::string> calls[] = {
        {{}, "コマンドがありません。"},
        {{"frobnicate"}, "知らないコマンドです: frobnicate"},
        {{"list", "--bogus"}, "知らないオプションです: --bogus"},
        {{"use"}, "use の引数の数が違います。"},
        {{"list", "--memo", "x"}, "--memo は backup にだけ付けられます。"},
        {{"backup", "--yes"}, "--yes は restore と delete にだけ付けられます。"},
        {{"backup", "--memo"}, "--memo の値がありません。"},
    };
    for (const auto& [args, problem] : calls) {
        const Outcome run = Run(args);
        const std::size_t usage = run.err.find("\n\n使い方: tsumugiya-cli コマンド");
        EXPECT_EQ(std::tuple(run.status, run.out, run.err.substr(0, usage)),
                  std::tuple(2, "", problem))
            << testing::PrintToString(args);
    }
    const Outcome help = Run({"--help"});
    EXPECT_EQ(std::tuple(help.status, help.out.starts_with("使い方: "), help.err),
              std::tuple(0, true, ""));
}

// Whatever cannot be done says why, on stderr with status 1; a setting that
// cannot be used is named and left as written. Commands that only read make
// no folder (a copy dropped into a shared folder must not litter it); the
// first backup makes the backup folder.
TEST_F(Cli, RefusalsSayWhyAndOnlyWritingCommandsMakeTheBackupFolder) {
    const std::string notYet =
        "バックアップフォルダーはまだありません（最初のバックアップで作ります）。\n" +
        Utf8(backups) + "\n";
    const std::string settings = "[SaveFile]\nfolder=ゲーム データ\nfilename=セーブ 1.dat\n";
    WriteFile(app / "tsumugiya.ini", settings);
    const std::string problem =
        "設定ファイルの folder=ゲーム データ は使えません（絶対パスではありません）。\n";
    EXPECT_EQ(Run({"where"}),
              (Outcome{0, Where("tsumugiya.ini", "（選ばれていません）"), problem + notYet}));
    EXPECT_EQ(Run({"restore"}), (Outcome{1, "",
                                         "セーブファイルが選ばれていません。\n" + problem +
                                             "tsumugiya-cli use パス で選べます。\n"}));
    EXPECT_EQ(ReadFile(app / "tsumugiya.ini"), settings);

    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    fs::remove_all(backups);  // made by the restore above, which writes
    const Outcome where = Run({"where"}), list = Run({"list"});
    EXPECT_EQ(std::tuple(where.err, list.status, list.out, list.err),
              std::tuple(notYet, 0, "", notYet));
    EXPECT_EQ(Names(app.path), (Texts{kCliName, "tsumugiya.ini", "ゲーム データ"}));
    ASSERT_EQ(Run({"quick"}).status, 0);
    EXPECT_EQ(Names(backups), Texts{"セーブ 1.dat.save.temp"});
    fs::remove_all(backups);
    EXPECT_EQ(Run({"restore"}).err,
              "セーブ 1.dat のバックアップがありません。\n" + Utf8(backups) + "\n");
    fs::remove_all(backups);
    WriteFile(backups, "a file where the folder should be");
    const Outcome quick = Run({"quick"});
    EXPECT_EQ(quick.status, 1);
    EXPECT_TRUE(quick.err.starts_with(
        "!!! バックアップフォルダーを作れませんでした。バックアップはできません。\n" +
        Utf8(backups) + ": "))
        << quick.err;
    EXPECT_EQ(ReadFile(backups), "a file where the folder should be");
    EXPECT_EQ(Run({"list"}),
              (Outcome{1, "",
                       "バックアップフォルダーの場所にフォルダーではないものがあります。\n" +
                           Utf8(backups) + "\n"}));
}

// use takes what the window's file dialog could pick: a file, a link to one,
// or a name not there yet in a folder that is (asked about on a terminal).
// Anything else is refused with the reason, the settings left as they were.
TEST_F(Cli, UseTakesAFileOrANameNotThereYet) {
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    const Content settings = ReadFile(app / "tsumugiya.ini");
    const auto refused = [&](const fs::path& path, const std::string& why) {
        EXPECT_EQ(Run({"use", Utf8(path)}), (Outcome{1, "", why})) << Utf8(path);
        EXPECT_EQ(ReadFile(app / "tsumugiya.ini"), settings);
    };
    refused(game, "!!! フォルダーはセーブファイルに選べません。\n" + Utf8(game) + "\n");
    refused(game / "none/slot.dat",
            "!!! セーブファイルを置くフォルダーがありません。\n" + Utf8(game / "none") + "\n");
    const fs::path later = game / U8("まだ.dat");
    const Outcome missing = Run({"use", Utf8(later)});
    EXPECT_EQ(std::tuple(missing.status, missing.err),
              std::tuple(0, Utf8(later) + "\nこのファイルはまだありません。ゲームがセーブすると、"
                                          "バックアップできるようになります。\n"));
    EXPECT_EQ(Run({"where"}).out, Where("tsumugiya.ini", Utf8(later)));
    LINUX_ONLY("FIFOs, devices, links and a pseudo-terminal");
#ifndef _WIN32
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    ASSERT_EQ(::mkfifo((game / "fifo").c_str(), 0600), 0);
    const std::string odd = "!!! ふつうのファイルではないので、セーブファイルに選べません。\n";
    refused(game / "fifo", odd + Utf8(game / "fifo") + "\n");
    refused("/dev/null", odd + "/dev/null\n");
    fs::create_symlink(save, game / "link");
    EXPECT_EQ(Run({"use", Utf8(game / "link")}).status, 0);
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    const std::string question =
        Utf8(later) + "\nこのファイルはまだありません。このままセーブファイルに選びますか？\n" +
        "はい/いいえ [y/N]: ";
    const Outcome declined = RunTyping({"use", Utf8(later)}, "いいえ\n");
    EXPECT_EQ(std::tuple(declined.status, declined.err),
              std::tuple(1, question + "何も変更していません。\n"));
    EXPECT_EQ(ReadFile(app / "tsumugiya.ini"), settings);
    EXPECT_EQ(RunTyping({"use", Utf8(later)}, "はい\n").status, 0);
    EXPECT_EQ(Run({"where"}).out, Where("tsumugiya.ini", Utf8(later)));
#endif
}

// A share is read as typed (one that is not there is named, never put on a
// drive); a device path is refused, saying so, and leaves the choice before
// it. How paths are read is the core's tests' business.
TEST_F(Cli, UseNamesAMissingShareAndRefusesDevices) {
#ifndef _WIN32
    GTEST_SKIP() << "Windows only: shares and device paths";
#endif
    EXPECT_EQ(
        Run({"use", R"(\\pc\share\セーブ 1.dat)"}),
        (Outcome{1, "", "!!! セーブファイルを置くフォルダーがありません。\n\\\\pc\\share\n"}));
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    const std::string device = R"(\\.\)" + Utf8(save);
    EXPECT_EQ(
        Run({"use", device}),
        (Outcome{1, "",
                 "!!! このファイルはセーブファイルに選べません（パスが長すぎるか、使えない"
                 "文字があります）。\n" +
                     device + "\nデバイスを指すパスです。ファイルのパスを指定してください。\n"}));
    EXPECT_EQ(Run({"where"}).out, Where("tsumugiya.ini", Utf8(save)));
}

// No terminal to say yes on, or names that are not listed backups however they
// look: exit status 1 and nothing changed.
TEST_F(Cli, UnconfirmedUnknownOrForeignTargetsAreRefusedOrAsked) {
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    ASSERT_EQ(Run({"backup"}).status, 0);
    WriteFile(save, "state B", kTimeB);
    WriteFile(app / "x", "outside");
    WriteFile(game / "other.dat.save.1", "not a backup");
    const auto before = Snapshot(app.path);
    std::vector<Texts> calls = {{"restore"}, {"restore", nameA}, {"delete", nameA}};
    for (const std::string& name :
         Texts{"../x", Utf8((game / "other.dat.save.1")), "../ゲーム データ/other.dat.save.1",
               Utf8((backups / U8(nameA))), "セーブ 1.dat.save.missing"}) {
        calls.insert(calls.end(), {{"restore", name, "--yes"}, {"delete", name, "--yes"}});
    }
    for (const auto& args : calls) {
        const Outcome run = Run(args);
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(1, ""))
            << testing::PrintToString(args);
    }
    EXPECT_EQ(Snapshot(app.path), before);

    // Another save's backup is never put back unseen: warned of with --yes,
    // asked for on a terminal.
    WriteFile(backups / "other.dat.save.newer", "another game", kTimeB);
    EXPECT_EQ(Run({"restore", "--yes"}).out, restored + nameA + "\n");  // the newest of this save
    const std::string question =
        "元のセーブファイルを上書きしていいですか？\nother.dat.save.newer "
        "は別のセーブファイルのバックアップです。\n上書きするセーブファイル: " +
        Utf8(save) + "\n";
    const Outcome warned = Run({"restore", "other.dat.save.newer", "--yes"});
    EXPECT_EQ(std::tuple(warned.status, warned.err), std::tuple(0, "警告: " + question));
    EXPECT_EQ(ReadFile(save), "another game");
    WriteFile(save, "state C", kTimeB);
    LINUX_ONLY("a pseudo-terminal to type the answers on");
    const std::string prompt = "はい/いいえ [y/N]: ";
    EXPECT_EQ(RunTyping({"restore", "other.dat.save.newer"}, "たぶん\n　はい\n"),
              (Outcome{0, restored + "other.dat.save.newer\n",
                       question + prompt + "はい か いいえ で答えてください。\n" + prompt}));
    EXPECT_EQ(ReadFile(save), "another game");

    const auto unchanged = Snapshot(app.path);
    const Outcome declined = RunTyping({"delete", nameA}, "いいえ\n");
    EXPECT_EQ(std::tuple(declined.status, declined.err),
              std::tuple(1, "削除していいですか？\n" + nameA + "\n" + prompt +
                                "何も変更していません。\n"));
    EXPECT_EQ(Snapshot(app.path), unchanged);
}

// A restore waits while another one holds the save's folder: side by side,
// both could keep the same safety copy and lose the state the first put aside.
TEST_F(Cli, ARestoreWaitsForTheOneBeforeIt) {
    LINUX_ONLY("flock on the folder");
#ifndef _WIN32
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    ASSERT_EQ(Run({"backup"}).status, 0);
    WriteFile(save, "state B", kTimeB);
    const int folder = ::open(game.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    const Outcome waiting =
        RunProgram(exe, {"restore", "--yes"}, app.path, std::chrono::seconds(1));
    ::close(folder);
    EXPECT_EQ(std::pair(waiting.status, ReadFile(save)),
              std::pair(128 + SIGKILL, Content("state B")));
    EXPECT_EQ(Run({"restore", "--yes"}).status, 0);
    EXPECT_EQ(ReadFile(save), "state A");
#endif
}

// watch keeps the state it finds at start, says so on its own line, and
// SIGTERM (how systemd stops it) ends it with status 0.
TEST_F(Cli, WatchSaysEachBackupAndEndsWellOnSigterm) {
    LINUX_ONLY("signals");
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    std::ofstream(app / "tsumugiya.ini", std::ios::app) << "[AutoBackup]\nsettle=0.1\n";
    const Outcome watched = RunProgram(
        "/bin/sh", {"-c", "\"$0\" watch & sleep 1; kill -TERM $!; wait $!", Utf8(exe)}, app.path);
    EXPECT_EQ(std::tuple(watched.status, watched.out, watched.err),
              std::tuple(0,
                         "自動バックアップ中（Ctrl+C で終わります）: " + Utf8(save) + "\n" + nameA +
                             "自動 にバックアップ\n自動バックアップを終わりました。\n",
                         std::string()));
    const Outcome again = Run({"watch", "--once"});
    EXPECT_EQ(std::pair(again.status, again.out),
              std::pair(0, "変わっていないので、バックアップ済みです: " + nameA + "自動\n"));
}

// As for ls, a listing cut short by a full disk is a failure, said on stderr.
TEST_F(Cli, ListFailsWhenItCannotBeWritten) {
    LINUX_ONLY("/dev/full");
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    ASSERT_EQ(Run({"backup"}).status, 0);
    const Outcome full =
        RunProgram("/bin/sh", {"-c", "exec \"$0\" list >/dev/full", Utf8(exe)}, app.path);
    EXPECT_EQ(
        std::tuple(full.status, full.err),
        std::tuple(1, "標準出力に書き込めませんでした。\n" + platform::ErrnoCause(ENOSPC) + "\n"));
}

// The commands run in this process, their cues recorded: one for each
// command given --sound, that of what it did; none without it.
TEST_F(Cli, SoundPlaysTheCueOfWhatTheCommandDid) {
    struct Recorded : CuePlayer {
        void Play(Cue cue) override { played.push_back(cue); }
        std::vector<Cue> played;
    } cues;
    std::ostringstream out, err;
    const auto run = [&](const std::vector<std::string>& args) {
        return cli::Run(exe, args, out, err, cues);
    };
    ASSERT_EQ(run({"use", Utf8(save)}), 0);
    EXPECT_EQ(run({"backup", "--sound"}), 0);
    EXPECT_EQ(run({"backup"}), 1);
    EXPECT_EQ(run({"backup", "--sound"}), 1);
    EXPECT_EQ(run({"restore", "no-such-backup", "--yes", "--sound"}), 1);
    EXPECT_EQ(run({"list", "--sound"}), 0);
    EXPECT_EQ(cues.played, (std::vector<Cue>{Cue::Done, Cue::AlreadyKept, Cue::Failed, Cue::Done}))
        << err.str();
}

}  // namespace
