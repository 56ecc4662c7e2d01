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
#include "Messages.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

using namespace tsumugiya;
using namespace tsumugiya::test;

namespace {

constexpr std::int64_t kTimeA = 1678075268;  // 2023-03-06 04:01:08 UTC
constexpr std::int64_t kTimeB = kTimeA + 3600;

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(game);
        fs::copy_file(TSUMUGIYA_CLI, exe);
        WriteFile(save, "state A", kTimeA);
        ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    }
    Outcome Run(const std::vector<std::string>& args) { return RunProgram(exe, args, app.path); }
    // The backups as list prints them, newest first.
    Texts Listed() {
        std::istringstream lines(Run({"list"}).out);
        Texts names;
        for (std::string name; std::getline(lines, name);) {
            names.push_back(name);
        }
        return names;
    }
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
    fs::path game = app / U8("ゲーム データ"), exe = app / fs::path(TSUMUGIYA_CLI).filename(),
             backups = app / "backup";
    fs::path save = game / U8("セーブ 1.dat");
    // The status without the blank that sets it off in a window title.
    const std::string restored = "選択ファイルをロード\n";
};

// A session on a Japanese name with spaces: what each command did goes to
// stdout, a refusal to stderr, with the exit status. Which backup is made,
// kept or gone back to is the core's tests' business.
TEST_F(Cli, CommandsSayWhatTheyDidOnStdoutAndRefusalsOnStderr) {
    const Outcome use = RunProgram(exe, {"use", "セーブ 1.dat"}, game);  // relative to cwd
    EXPECT_EQ(use, (Outcome{0, "セーブファイル: " + Utf8(save) + "\n", ""}));
    const Outcome made = Run({"backup", "--memo", "A"});
    const std::string a = Listed().at(0);
    EXPECT_EQ(made, (Outcome{0, a + std::string(messages::kBackedUpSuffix) + "\n", ""}));
    EXPECT_EQ(Run({"backup", "--memo=A"}), (Outcome{1, "",
                                                    std::string(messages::kNameTaken) + "\n" +
                                                        messages::AlreadyKept(a) + "\n"}));
    WriteFile(save, "progress P", kTimeB);
    ASSERT_EQ(Run({"quick"}).status, 0);
    const std::string quick = Listed().at(0);
    EXPECT_EQ(Run({"restore", a, "--yes"}).out,
              restored + a + "\n");  // P to the safety copy
    // The quick backup is overwritten at will: the restore keeps P itself.
    const Outcome second = Run({"restore", quick, "-y"});
    const Texts names = Listed();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(
        second,
        (Outcome{0, restored + quick + "\n" + messages::KeptBeforeRestoreNote(names[0]) + "\n",
                 ""}));
    WriteFile(save, "dead end", kTimeB + 60);
    EXPECT_EQ(Run({"restore", "--yes"}).out,
              restored + quick + "\n");  // the newest checkpoint
    EXPECT_EQ(Run({"delete", names[0], names[1], names[2], "--yes"}).status, 0);
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
// cannot be used is named. Commands that only read make
// no folder (a copy dropped into a shared folder must not litter it); the
// first backup makes the backup folder.
TEST_F(Cli, RefusalsSayWhyAndOnlyWritingCommandsMakeTheBackupFolder) {
    const std::string notYet =
        "バックアップフォルダーはまだありません（最初のバックアップで作ります）。\n" +
        Utf8(backups) + "\n";
    WriteFile(app / "tsumugiya.ini", "[SaveFile]\nfolder=ゲーム データ\nfilename=セーブ 1.dat\n");
    const std::string problem =
        messages::UnusableSetting("folder", "ゲーム データ", messages::kNotAbsolute) + "\n";
    EXPECT_EQ(Run({"where"}),
              (Outcome{0, Where("tsumugiya.ini", "（選ばれていません）"), problem + notYet}));
    EXPECT_EQ(Run({"restore"}), (Outcome{1, "",
                                         std::string(messages::kNoSaveFileChosen) + "\n" + problem +
                                             "tsumugiya-cli use パス で選べます。\n"}));

    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    fs::remove_all(backups);  // made by the restore above, which writes
    const Outcome where = Run({"where"}), list = Run({"list"});
    EXPECT_EQ(std::tuple(where.err, list.status, list.out, list.err),
              std::tuple(notYet, 0, "", notYet));
    EXPECT_EQ(Names(app.path), (Texts{Utf8(exe.filename()), "tsumugiya.ini", "ゲーム データ"}));
    ASSERT_EQ(Run({"quick"}).status, 0);
    EXPECT_EQ(Names(backups).size(), 1u);
    fs::remove_all(backups);
    EXPECT_EQ(Run({"restore"}).err,
              messages::NoCheckpointToRestore("セーブ 1.dat") + "\n" + Utf8(backups) + "\n");
    fs::remove_all(backups);
    WriteFile(backups, "a file where the folder should be");
    const Outcome quick = Run({"quick"});
    EXPECT_EQ(
        std::pair(quick.status, quick.err.starts_with(std::string(messages::kBackupFolderMissing) +
                                                      "\n" + Utf8(backups) + ": ")),
        std::pair(1, true))
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
    const Content settings = ReadFile(app / "tsumugiya.ini");
    const auto refused = [&](const std::string& path, const std::string& why) {
        EXPECT_EQ(Run({"use", path}), (Outcome{1, "", why})) << path;
        EXPECT_EQ(ReadFile(app / "tsumugiya.ini"), settings);
    };
    refused(Utf8(game), "!!! フォルダーはセーブファイルに選べません。\n" + Utf8(game) + "\n");
    refused(Utf8(game / "none/slot.dat"),
            "!!! セーブファイルを置くフォルダーがありません。\n" + Utf8(game / "none") + "\n");
#ifdef _WIN32
    const std::string device = R"(\\.\)" + Utf8(save);  // how paths are read is the core's
    refused(device, std::string(messages::kSavePathRefused) + "\n" + device +
                        "\nデバイスを指すパスです。ファイルのパスを指定してください。\n");
#endif
    const fs::path later = game / U8("まだ.dat");
    EXPECT_EQ(Run({"use", Utf8(later)}),
              (Outcome{0, "セーブファイル: " + Utf8(later) + "\n",
                       Utf8(later) + "\nこのファイルはまだありません。ゲームがセーブすると、"
                                     "バックアップできるようになります。\n"}));
    LINUX_ONLY("FIFOs, devices, links and a pseudo-terminal");
#ifndef _WIN32
    ASSERT_EQ(Run({"use", Utf8(save)}).status, 0);
    ASSERT_EQ(::mkfifo((game / "fifo").c_str(), 0600), 0);
    const std::string odd = "!!! ふつうのファイルではないので、セーブファイルに選べません。\n";
    refused(Utf8(game / "fifo"), odd + Utf8(game / "fifo") + "\n");
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

// No terminal to say yes on, or names that are not listed backups however they
// look: exit status 1 and nothing changed.
TEST_F(Cli, UnconfirmedUnknownOrForeignTargetsAreRefusedOrAsked) {
    ASSERT_EQ(Run({"backup"}).status, 0);
    const std::string nameA = Listed().at(0);
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
    EXPECT_EQ(Run({"restore", "--yes"}).out,
              restored + nameA + "\n");  // the newest of this save
    const std::string question =
        messages::ForeignRestoreQuestion("other.dat.save.newer", save) + "\n";
    const Outcome warned = Run({"restore", "other.dat.save.newer", "--yes"});
    EXPECT_EQ(std::tuple(warned.status, warned.err, ReadFile(save)),
              std::tuple(0, "警告: " + question, Content("another game")));
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
              std::tuple(1, messages::DeleteQuestion({backups / U8(nameA)}) + "\n" + prompt +
                                "何も変更していません。\n"));
    EXPECT_EQ(Snapshot(app.path), unchanged);
}

// A restore waits while another one holds the save's folder: side by side,
// both could keep the same safety copy and lose the state the first put aside.
TEST_F(Cli, ARestoreWaitsForTheOneBeforeIt) {
    LINUX_ONLY("flock on the folder");
#ifndef _WIN32
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
    std::ofstream(app / "tsumugiya.ini", std::ios::app) << "[AutoBackup]\nsettle=0.1\n";
    const Outcome watched = RunProgram(
        "/bin/sh", {"-c", "\"$0\" watch & sleep 1; kill -TERM $!; wait $!", Utf8(exe)}, app.path);
    EXPECT_EQ(watched, (Outcome{0,
                                std::string(messages::kAutoWatching) + Utf8(save) + "\n" +
                                    Listed().at(0) + std::string(messages::kBackedUpSuffix) + "\n" +
                                    std::string(messages::kAutoStopped) + "\n",
                                ""}));
    // The state kept already is no failure, and no second copy.
    const Outcome again = Run({"watch", "--once"});
    EXPECT_EQ(std::tuple(again.status, again.out.ends_with("\n"), again.err, Listed().size()),
              std::tuple(0, true, "", 1u));
}

// As for ls, a listing cut short by a full disk is a failure, said on stderr.
TEST_F(Cli, ListFailsWhenItCannotBeWritten) {
    LINUX_ONLY("/dev/full");
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
    EXPECT_EQ(run({"backup", "--sound"}), 0);
    EXPECT_EQ(run({"backup"}), 1);
    EXPECT_EQ(run({"backup", "--sound"}), 1);
    EXPECT_EQ(run({"restore", "no-such-backup", "--yes", "--sound"}), 1);
    EXPECT_EQ(run({"list", "--sound"}), 0);
    EXPECT_EQ(cues.played, (std::vector<Cue>{Cue::Done, Cue::AlreadyKept, Cue::Failed, Cue::Done}))
        << err.str();
}

}  // namespace
