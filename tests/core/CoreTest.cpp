// The core's parts one by one, then the four commands through a stand-in window.

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <set>
#include <thread>
#include <tuple>

#include "BackupNames.h"
#include "FilePath.h"
#include "FileTime.h"
#include "ProgramFiles.h"
#include "TextColumns.h"
#include "support/FakeHost.h"

using namespace tsumugiya;
using namespace tsumugiya::test;
using enum CommandResult;
using namespace std::chrono_literals;

namespace {

// Windows settings files end their lines with CR LF, as Notepad expects.
std::string WithoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

TEST(FilePath, SplitsWorkedExamples) {
    // Path, then its folder, file name, base name and extension; "-" where it has none.
    const char* const cases[][5] = {
        {"/games/save/slot1.dat", "/games/save", "slot1.dat", "slot1", "dat"},
        {"save.dat", "-", "save.dat", "save", "dat"},
        {"/data/README", "/data", "README", "README", "-"},
        {"/data/.profile", "/data", ".profile", "-", "profile"},
        {"/data/name.", "/data", "name.", "name", "-"},
        {"/file.txt", "-", "file.txt", "file", "txt"},
        {"/data.old/README", "/data.old", "README", "README", "-"},
        {"/data/", "/data", "-", "-", "-"},
#ifdef _WIN32
        // Both "/" and "\\" separate.
        {"C:\\games\\slot1.dat", "C:\\games", "slot1.dat", "slot1", "dat"},
        {"/a\\b/c\\d.e", "/a\\b/c", "d.e", "d", "e"},
#else
        // Only "/" separates; on Linux a backslash is part of a name.
        {"C:\\games\\slot1.dat", "-", "C:\\games\\slot1.dat", "C:\\games\\slot1", "dat"},
        {"/a\\b/c\\d.e", "/a\\b", "c\\d.e", "c\\d", "e"},
#endif
        {"/ゲーム/城の前.セーブ", "/ゲーム", "城の前.セーブ", "城の前", "セーブ"},
    };
    CFilePath path;  // reused: each Set must forget the pieces of the path before
    for (const auto& c : cases) {
        path.Set(c[0]);
        EXPECT_EQ(std::tuple(path.GetDirectory().value_or("-"), path.GetFileName().value_or("-"),
                             path.GetBaseName().value_or("-"), path.GetExtension().value_or("-")),
                  std::tuple(c[1], c[2], c[3], c[4]))
            << c[0];
    }
}

// 1678042868 is 2023-03-05 19:01:08 UTC; Japan is nine hours ahead, past
// midnight. Any time a file system holds has a name; those past the four
// digits of the year stop at its ends.
TEST(FileTime, FormatsLocalTimeOfAnyYearAFileSystemHolds) {
    LINUX_ONLY("a zone from TZ (Windows uses the system's; see WindowsTime)");
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    const std::tuple<const char*, std::int64_t, const char*> cases[] = {
        {"UTC0", 1678042868, "2023年03月05日19時01分08秒"},
        {"JST-9", 1678042868, "2023年03月06日04時01分08秒"},
        {"JST-9", 4294967296, "2106年02月07日15時28分16秒"},  // past any 32-bit count
        {"UTC0", -1, "1969年12月31日23時59分59秒"},
        {"UTC0", -11644473600, "1601年01月01日00時00分00秒"},  // where Windows starts
        {"JST-9", 9223372037, "2262年04月12日08時47分17秒"},   // past 64-bit nanoseconds
        {"UTC0", 253402300799, "9999年12月31日23時59分59秒"},
        {"JST-9", 253402300799, "9999年12月31日23時59分59秒"},  // 10000 in Japan
        {"UTC0", -62167219200, "0000年01月01日00時00分00秒"},
        {"JST-9", -62167219201, "0000年01月01日08時59分59秒"},
        {"UTC0", -62167219201, "0000年01月01日00時00分00秒"},  // the year -1
        {"UTC0", kMin, "0000年01月01日00時00分00秒"},
        {"JST-9", kMax, "9999年12月31日23時59分59秒"},
    };
    for (const auto& [zone, time, text] : cases) {
        SetEnvironment("TZ", zone);
        EXPECT_EQ(FormatFileTime(time), text) << zone << " " << time;
    }
}

// The causes users meet most are told in Japanese, each in words of its own:
// the system's where it has them, the program's otherwise. Any other keeps
// the system's text.
TEST(Causes, CommonOnesAreToldInJapanese) {
    std::set<std::string> texts;
    const auto common = {ENOENT, EACCES,  ENOSPC, EROFS,   ENAMETOOLONG,
                         EIO,    ETXTBSY, EISDIR, ENOTDIR, EEXIST};
    for (const int err : common) {
        const std::string cause = platform::ErrnoCause(err);
        EXPECT_TRUE(IsJapanese(cause)) << err << " " << cause;
        texts.insert(cause);
    }
    EXPECT_EQ(texts.size(), common.size());
    EXPECT_FALSE(platform::ErrnoCause(EXDEV).empty());
}

// A memo either makes a plain name or is refused, saying why; the reason
// and the name builder must agree.
TEST(BackupNames, JoinPartsOrRefuseTheMemoSayingWhy) {
    const std::string time = "2023年03月06日04時01分08秒";
    EXPECT_EQ(TimestampedBackupName("slot1.dat", time, "城の前", 255),
              "slot1.dat.save.2023年03月06日04時01分08秒_城の前");
    const std::size_t room = MemoRoom("slot1.dat", time, 255);
    // Name, time text (14 digits, 6 kanji: 3 bytes or 1 UTF-16 unit each), ".save." and "_".
    EXPECT_EQ(room, 255u - 9 - (platform::kNameLengthInBytes ? 32 : 20) - 7);
    EXPECT_EQ(MemoRoom("s", "", 4096), kMemoMaxBytes);
    EXPECT_EQ(MemoRoom(std::string(250, 's'), "", 255), 0u);
    const char* const notUtf8 = "UTF-8 として読めない";
    const std::pair<std::string, const char*> cases[] = {
        {"城の前", nullptr},
        {std::string(room, 'x'), nullptr},
        {std::string(room + 2, 'x'),
         platform::kNameLengthInBytes ? "メモが 2 バイト長すぎます" : "メモが 2 文字長すぎます"},
        {"a/b", "メモに「/」は使えません"},
        {"a\\b", "メモに「\\」は使えません"},
        {"a\nb", "制御文字 U+000A"},
        {std::string("a\0b", 3), "制御文字 U+0000"},
        {"\x7f", "制御文字 U+007F"},
        {"nel\xc2\x85", "制御文字 U+0085"},
        // Stray, cut short, overlong, a surrogate.
        {"\xff", notUtf8},
        {"\xe5\x9f", notUtf8},
        {"\xc0\xaf", notUtf8},
        {"\xe0\x80\xaf", notUtf8},
        {"\xed\xa0\x80", notUtf8},
    };
    for (const auto& [memo, reason] : cases) {
        const auto problem = MemoProblem(memo, room);
        EXPECT_EQ(std::pair(problem.has_value(),
                            TimestampedBackupName("slot1.dat", time, memo, 255).has_value()),
                  std::pair(reason != nullptr, reason == nullptr))
            << memo;
        EXPECT_NE(problem.value_or("").find(reason ? reason : ""), std::string::npos)
            << problem.value_or("none");
    }
    // The limit counts what the file system counts (bytes on Linux, UTF-16
    // units on Windows): exactly the limit passes, one less does not.
    const std::size_t size = platform::NameLength(*TimestampedBackupName("s", time, "城城", 255));
    EXPECT_TRUE(TimestampedBackupName("s", time, "城城", size));
    EXPECT_FALSE(TimestampedBackupName("s", time, "城城", size - 1));
    // Another save's backups, even one whose name starts the same.
    EXPECT_TRUE(IsBackupOf("slot1.save.x", "slot1"));
    EXPECT_FALSE(IsBackupOf("slot1.dat.save.x", "slot1"));
    EXPECT_FALSE(IsBackupOf("slot1.save.", "slot1"));
    const std::string named = "slot1.save.save." + time + "_x.save.y";  // "slot1.save"'s
    EXPECT_EQ(std::pair(IsBackupOf(named, "slot1"), IsBackupOf(named, "slot1.save")),
              std::pair(false, true));
    EXPECT_FALSE(IsBackupOf("slot1.save.save.temp", "slot1"));
}

TEST(Locations, FollowTheExecutableAndTakeOnlyAbsolutePathsToAFile) {
    TempFolder dir;
    AppLocations locations;
    locations.InitLocations(dir / "app.bin");
    EXPECT_EQ(std::tuple(locations.SettingsPath(), locations.BackupFolder(), locations.SavePath()),
              std::tuple(dir / "app.ini", dir / "backup", fs::path()));  // not "/" nor a folder
    ASSERT_TRUE(locations.SetSaveFile(Abs("/slot1.dat")));
    EXPECT_EQ(locations.SavePath(), Abs("/slot1.dat"));
    ASSERT_TRUE(locations.SetSaveFile(Abs("/games/slot1.dat")));
    for (const std::string& path :
         {std::string(), std::string("slot1.dat"), std::string("games/slot1.dat"),
          Abs("/games/save/"), Abs("/"), Abs("/games/slot\n1.dat"), Abs("/games\r/slot1.dat"),
          Abs("/games/.."), Abs("/a/\xff")}) {
        EXPECT_FALSE(locations.SetSaveFile(path)) << path;
        EXPECT_EQ(locations.SavePath(), Abs("/games/slot1.dat"));
    }
}

// A program in dir/bin; what a case sets of the user's folders is undone after it.
class Xdg : public ::testing::Test {
  protected:
    void SetUp() override {
        LINUX_ONLY("the XDG folders");
        for (const char* name : {"HOME", "PATH", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            saved[name] = platform::EnvironmentValue(name);
        }
        fs::create_directories(dir / "bin");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            SetEnvironment(name, value);
        }
    }
    std::map<std::string, std::optional<std::string>> saved;
    TempFolder dir;
    const fs::path exe = dir / "bin/tsumugiya";
};

// A portable copy keeps its files beside itself; an installed one in the
// user's XDG folders, unless a settings file beside it says it is portable.
TEST_F(Xdg, ChooseTheLayoutByWhereTheProgramRuns) {
    SetEnvironment("HOME", Utf8(dir / "home"));
    SetEnvironment("XDG_CONFIG_HOME", Utf8(dir / "cfg"));
    SetEnvironment("XDG_DATA_HOME", "relative/data");  // ignored, as the XDG rules say
    EXPECT_EQ(LocateProgramFiles(exe, dir / "elsewhere").settingsPath, dir / "bin/tsumugiya.ini");
    const ProgramFiles installed = LocateProgramFiles(exe, dir / "bin");
    EXPECT_EQ(std::tuple(installed.layout, installed.settingsPath, installed.backupFolder),
              std::tuple(Layout::Xdg, dir / "cfg/tsumugiya/tsumugiya.ini",
                         dir / "home/.local/share/tsumugiya/backup"));
    // A copy in a folder on PATH (~/bin, /usr/local/bin) serves every game,
    // like an installed one.
    SetEnvironment("PATH", "relative/bin::/usr/bin:" + Utf8(dir / "bin/."));
    EXPECT_EQ(LocateProgramFiles(exe, {}).layout, Layout::Xdg);
    SetEnvironment("PATH", "/usr/bin:" + Utf8(dir / "bi"));
    EXPECT_EQ(LocateProgramFiles(exe, {}).layout, Layout::Portable);
    SetEnvironment("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(LocateProgramFiles(exe, dir / "bin").settingsPath,
              dir / "home/.config/tsumugiya/tsumugiya.ini");
    SetEnvironment("XDG_CONFIG_HOME", Utf8(dir / "cfg"));
    AppLocations locations(dir / "bin");
    locations.InitLocations(exe);
    ASSERT_TRUE(locations.SetSaveFile("/games/slot1.dat"));
    platform::IoError error;
    ASSERT_TRUE(locations.SaveSettings(error)) << error.cause;
    EXPECT_EQ(
        std::pair(fs::is_directory(installed.backupFolder), fs::exists(installed.settingsPath)),
        std::pair(true, true));
    WriteFile(dir / "bin/tsumugiya.ini", "");
    EXPECT_EQ(LocateProgramFiles(exe, dir / "bin").layout, Layout::Portable);
    const ProgramFiles nowhere = LocateProgramFiles("tsumugiya", {});  // own path unknown
    EXPECT_EQ(std::pair(nowhere.settingsPath, nowhere.backupFolder),
              std::pair(fs::path(), fs::path()));
}

// Start-up for a command that only reads makes no folder; one that makes
// them names the folder that could not be made and why, not the backup
// folder at the end of the path.
TEST_F(Xdg, FoldersAreMadeOnlyWhenAskedAndAFailureNamesItsCause) {
    WriteFile(dir / "file", "in the way");
    SetEnvironment("XDG_CONFIG_HOME", Utf8(dir / "file/cfg"));
    SetEnvironment("XDG_DATA_HOME", Utf8(dir / "data"));
    AppLocations locations(dir / "bin");
    locations.InitLocations(exe, AppLocations::Folders::LeaveAlone);
    EXPECT_EQ(std::tuple(locations.BackupFolderExists(), locations.BackupFolderError().has_value(),
                         fs::exists(dir / "data")),
              std::tuple(false, false, false));
    locations.InitLocations(exe);
    EXPECT_TRUE(locations.BackupFolderExists());
    ASSERT_TRUE(locations.SetSaveFile("/games/slot1.dat"));
    platform::IoError error;
    ASSERT_FALSE(locations.SaveSettings(error));
    const std::string exists = platform::ErrnoCause(EEXIST);
    EXPECT_EQ(std::pair(error.file, error.cause), std::pair(dir / "file", exists));

    // What stops the backup folder below XDG_DATA_HOME, as file and cause.
    const auto failure = [&](const fs::path& data) {
        SetEnvironment("XDG_DATA_HOME", Utf8(data));
        AppLocations fresh(dir / "bin");
        fresh.InitLocations(exe);
        const auto& failed = fresh.BackupFolderError();
        return failed ? std::pair(failed->file, failed->cause) : std::pair(fs::path(), "");
    };
    EXPECT_EQ(failure(dir / "file/data"), std::pair(dir / "file", exists));
#ifndef _WIN32
    if (::geteuid() != 0) {  // root may write anywhere
        fs::create_directories(dir / "ro");
        fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(failure(dir / "ro"),
                  std::pair(dir / "ro/tsumugiya", platform::ErrnoCause(EACCES)));
        fs::permissions(dir / "ro", fs::perms::owner_all);
    }
#endif
}

// A progress line on a narrow terminal stays one line: the name gives way,
// in its middle and never inside a character; the figures stay whole.
TEST(Progress, ALineFitsTheTerminal) {
    EXPECT_EQ(std::tuple(ColumnsOf("slot1.dat"), ColumnsOf("城の前"), ColumnsOf("ｙｅｓ"),
                         ColumnsOf("ｱｲ"), ColumnsOf("e\u0301"), ColumnsOf("\xff\xe3\x81"),
                         ColumnsOf("…")),
              std::tuple(9u, 6u, 6u, 2u, 1u, 3u, 1u));
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

    const std::string name = "slot1.dat.save.2026年12月06日21時04分09秒_城の前でセーブした";
    const std::string figures = " にコピー中 312 / 1025 MiB";
    const std::string text = messages::CopyProgress(name, 312 << 20, kGiB + 2);
    EXPECT_EQ(FitProgressLine(text, 312 << 20, kGiB + 2, 0), text);  // not a terminal
    EXPECT_EQ(FitProgressLine(text, 312 << 20, kGiB + 2, 200), text);
    EXPECT_EQ(FitProgressLine(text, 312 << 20, kGiB + 2, 60),
              "slot1.dat.save.2…の前でセーブした" + figures);
    for (std::size_t columns = 40; columns <= ColumnsOf(text); ++columns) {
        const std::string line = FitProgressLine(text, 312 << 20, kGiB + 2, columns);
        EXPECT_TRUE(ColumnsOf(line) < columns && ColumnsOf(line) + 2 >= columns &&
                    IsValidUtf8(line) && line.starts_with("slot1") &&
                    line.ends_with("た" + figures))
            << columns << ": " << line;
    }
    EXPECT_EQ(FitProgressLine(text, 312 << 20, kGiB + 2, 20), figures);  // too narrow for a name
}

// The window writes its settings back at the end, but never over a save that
// another program chose while it was open, unless the window chose one since;
// values it cannot use are named and written back as they were.
TEST(Locations, LeaveASettingsFileChangedElsewhereAndNameUnusableValues) {
    TempFolder dir;
    const fs::path ini = dir / "tsumugiya.ini";
    WriteFile(ini, "[SaveFile]\nfolder=/a\nfilename=a.dat\n");
    AppLocations window, cli;
    window.InitSettingsPath(dir / "tsumugiya");
    window.ReadSettings();
    EXPECT_FALSE(window.SettingsChangedElsewhere());
    cli.InitSettingsPath(dir / "tsumugiya");
    ASSERT_TRUE(cli.SetSaveFile(Abs("/b/b.dat")));
    platform::IoError error;
    ASSERT_TRUE(cli.SaveSettings(error));
    EXPECT_TRUE(window.SettingsChangedElsewhere());
    ASSERT_TRUE(window.SetSaveFile(Abs("/c/c.dat")));  // the user's own pick wins
    EXPECT_FALSE(window.SettingsChangedElsewhere());

    WriteFile(ini, "[SaveFile]\nfolder=games\nfilename=a\xff.dat\n");
    window.ReadSettings();
    EXPECT_EQ(window.SavePath(), fs::path());
    const auto problems = window.SettingsProblems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "設定ファイルの folder=games は使えません（絶対パスではありません）。");
    EXPECT_NE(problems[1].find("UTF-8"), std::string::npos) << problems[1];
    ASSERT_TRUE(window.SaveSettings(error));  // kept as it was, not dropped
    EXPECT_EQ(WithoutCarriageReturns(ReadFile(ini).value_or("")),
              "[SaveFile]\nfolder=games\nfilename=a\xff.dat\n");

    // Whatever name is written comes back unchanged, even one that looks like
    // INI syntax, and the rest of a hand-written file stays as it was.
    WriteFile(ini,
              "; by hand\n[Window]\nx=10\n[SaveFile]\n; last game\nfolder=/old\n"
              "filename=old.dat\nkey=1\n");
    const std::string folder = Utf8(dir / U8(" ゲーム \"データ\" "));
    for (const std::string name : {"スロット 1.dat", " lead", "trail ", "\"q\"", "\"", ";semi",
                                   "#hash", "a=b", "[SaveFile]"}) {
        if (!platform::IsOneComponent(name)) {
            continue;  // Windows takes no quote and no trailing blank in a name
        }
        ASSERT_TRUE(window.SetSaveFile(folder + "/" + name));
        ASSERT_TRUE(window.SaveSettings(error)) << error.cause;
        window.ReadSettings();
        EXPECT_EQ(Utf8(window.SavePath()), folder + platform::kSeparator + name);
        const std::string text = WithoutCarriageReturns(ReadFile(ini).value_or(""));
        for (const char* kept : {"; by hand\n", "[Window]\nx=10\n", "; last game\n", "\nkey=1\n",
                                 "\nfolder=", "\nfilename="}) {  // no spaces around "="
            EXPECT_NE(text.find(kept), std::string::npos) << kept << " missing in\n" << text;
        }
        EXPECT_EQ(text.find("old.dat"), std::string::npos) << text;
    }
    EXPECT_EQ(Names(dir.path), Texts{"tsumugiya.ini"});  // no temporary file left
}

const std::string kNameA = "slot1.dat.save.2023年03月05日19時01分08秒_";
const std::string kQuick = "slot1.dat.save.temp";

Texts Listed(const MemoryBackupList& list) {
    Texts names;
    for (int i = 0; i < list.Count(); ++i) {
        names.push_back(list.Text(i));
    }
    return names;
}

// The listing is also the pass that removes what killed copies left behind.
TEST_F(CommandTest, ListIsNewestFirstTiesLastMadeFirstEntriesWithoutTimeLastAndSweepsStale) {
    LINUX_ONLY("a dangling symbolic link (Windows needs a privilege to make one)");
    WriteFile(backup / ".tsumugiya-AbCd12.tmp", "left by a killed copy");
    WriteFile(backup / ".tsumugiya-notes.tmp", "the user's own");
    platform::StagedCopy live;  // its temporary file is open until it goes
    platform::IoError error;
    ASSERT_TRUE(live.Prepare(save, backup / "s.dat.save.live", false,
                             platform::Attributes::OfSource, error));
    const std::pair<const char*, int> files[] = {
        {"s.dat.save.old", 1000}, {"s.dat.save.e", 2000}, {"s.dat.save.c", 2000},
        {"s.dat.save.new", 3000}, {"s.dat.save.a", 2000}, {"s.dat.save.d", 2000},
        {"s.dat.save.b", 2000},   {"DATA.save.x", 9000},  {"notes.txt", 9000}};
    for (const auto& [name, time] : files) {
        WriteFile(backup / name, name, time);
        std::this_thread::sleep_for(20ms);  // past the file system's clock tick
    }
    fs::create_directory(backup / "s.dat.save.dir");
    fs::create_symlink(dir / "nowhere", backup / "s.dat.save.link");
    host.Select({"s.dat.save.a", "s.dat.save.b"});
    host.ShowCatalogue();  // starts afresh and selects the newest only
    EXPECT_EQ(host.list.SelectedIndices(9), std::vector<int>{0});
    EXPECT_EQ(Listed(host.list),
              (Texts{"DATA.save.x", "s.dat.save.new", "s.dat.save.b", "s.dat.save.d",
                     "s.dat.save.a", "s.dat.save.c", "s.dat.save.e", "s.dat.save.old",
                     "s.dat.save.dir", "s.dat.save.link"}));
    Texts temps = Names(backup);
    std::erase_if(temps, [](const std::string& name) { return !name.starts_with(".tsumugiya-"); });
    EXPECT_EQ(temps.size(), 2u);  // the live copy's and the user's own: the stale one went
    EXPECT_EQ(std::count(temps.begin(), temps.end(), ".tsumugiya-notes.tmp"), 1);
    EXPECT_TRUE(live.Commit(platform::Overwrite::Refuse, error)) << error.cause;
}

// Saves from before 1970 and after 2262 (past 64-bit nanoseconds) give their
// backups their own time, in the name and on the file, and the listing
// orders them by it. ext4 holds 1901 to 2446.
TEST_F(CommandTest, SaveTimesBefore1970AndAfter2262NameAndOrderBackups) {
    ASSERT_EQ(commands.OnBackup().result, Done);
    const std::pair<std::int64_t, std::string> saves[] = {
        {-14182940, "slot1.dat.save.1969年07月20日20時17分40秒_"},
        {13569465600, "slot1.dat.save.2400年01月01日00時00分00秒_"},
    };
    for (const auto& [time, name] : saves) {
        WriteFile(save, name, time);
        if (ModTime(save) != time) {
            GTEST_SKIP() << "the file system does not hold the time of " << name;
        }
        ASSERT_EQ(commands.OnBackup().result, Done) << name;
        EXPECT_EQ(StateOf(backup / U8(name)), FileState(name, time));
    }
    host.ShowCatalogue();
    EXPECT_EQ(Listed(host.list), (Texts{saves[1].second, kNameA, saves[0].second}));
}

// What the window did with each outcome, as kinds: "Status", "Tell",
// "FileError", "Ask", "Refresh" (any refresh), "Progress". Robust to wording.
Texts Kinds(const Texts& log) {
    Texts kinds;
    for (const std::string& line : log) {
        const std::string first = line.substr(0, line.find(' '));
        const bool tagged = first == "Status" || first == "FileError" || first == "Ask" ||
                            first == "Refresh" || first == "Progress";
        kinds.push_back(tagged ? first : "Tell");
    }
    return kinds;
}

// A backup is named after the save's time and never replaces an entry; the
// quick backup replaces only its own. A failure leaves nothing and says why,
// naming the file; a state kept already or an unreadable save leaves the list alone.
TEST_F(CommandTest, BackupsKeepTheSaveTimeAndFailuresLeaveNothing) {
    host.memo = "城の前";
    CommandOutcome made = commands.OnBackup();
    EXPECT_EQ(std::tuple(made.result, made.backup, Kinds(host.TakeLog())),
              std::tuple(Done, kNameA + "城の前", Texts{"Status", "Refresh"}));
    EXPECT_EQ(StateOf(backup / U8(kNameA + "城の前")), kStateA);
    host.memo = "";
    // The same state under that name is kept already; another state of the
    // same second, or a link to nothing, is not: no copy may follow either.
    std::vector<std::pair<void (*)(const fs::path&), bool>> makers{
        {[](const fs::path& p) { WriteFile(p, "state A"); }, true},
        {[](const fs::path& p) { WriteFile(p, "other A"); }, false}};
#ifndef _WIN32
    makers.emplace_back([](const fs::path& p) { fs::create_symlink(p.string() + "x", p); }, false);
#endif
    for (const auto& [make, kept] : makers) {
        fs::remove(backup / U8(kNameA));
        make(backup / U8(kNameA));
        const auto before = Snapshot(dir.path);
        const CommandOutcome taken = commands.OnBackup();
        EXPECT_EQ(std::tuple(taken.result, taken.alreadyKept, taken.backup, Kinds(host.TakeLog())),
                  std::tuple(Failed, kept, kNameA,  // a failure, not a state kept, refreshes
                             kept ? Texts{"Tell"} : Texts{"Tell", "Refresh"}));
        EXPECT_EQ(Snapshot(dir.path), before);
    }
    EXPECT_EQ(commands.OnFixedNameBackup().result, Done);
    WriteFile(save, "state B", kTimeB);
    EXPECT_EQ(commands.OnFixedNameBackup().backup, kQuick);
    EXPECT_EQ(StateOf(backup / kQuick), kStateB);
    fs::remove(backup / kQuick);
    fs::create_directories(backup / kQuick / "in");
    const CommandOutcome blocked = commands.OnFixedNameBackup();
    ASSERT_TRUE(blocked.error);
    EXPECT_EQ(std::tuple(blocked.result, blocked.error->file), std::tuple(Failed, backup / kQuick));
    const CommandOutcome unchosenSave = BackupCommands(unchosen, host).OnBackup();
    EXPECT_EQ(std::tuple(unchosenSave.result, unchosenSave.saveUnreadable),
              std::tuple(Failed, true));
    fs::remove(save);
    const CommandOutcome gone = commands.OnFixedNameBackup();
    ASSERT_TRUE(gone.error);
    EXPECT_EQ(std::tuple(gone.saveUnreadable, gone.error->file, IsJapanese(gone.error->cause)),
              std::tuple(true, save, true))
        << gone.error->cause;
    EXPECT_EQ(Names(backup).size(), 3u);  // the two backups and the folder in the way
    EXPECT_EQ(Kinds(host.TakeLog()), (Texts{"Status", "Refresh", "Status", "Refresh", "Tell",
                                            "Refresh", "FileError", "FileError"}));
    EXPECT_EQ(host.told.back(), blocked.message);  // with the file and its cause
}

// A restore asks first (about another save's backup even with the confirm box
// unticked), keeps the save as it was beside it, and loses nothing when it
// cannot go on.
TEST_F(CommandTest, RestoreAsksKeepsASafetyCopyAndNeverLosesTheSave) {
    ASSERT_EQ(commands.OnBackup().result, Done);
    ASSERT_EQ(commands.OnFixedNameBackup().result, Done);
    WriteFile(save, "state B", kTimeB);
    WriteFile(backup / "other.dat.save.x", "other game", kTimeB);
    host.TakeLog();
    EXPECT_EQ(Restore({kNameA, kQuick}), Failed);
    EXPECT_EQ(Restore({}), NothingToDo);
    host.Select({kQuick});
    EXPECT_EQ(BackupCommands(unchosen, host).OnRestore().message, messages::kNoSaveFileChosen);
    host.confirm = true;
    host.answers = "ny";
    EXPECT_EQ(commands.OnRestore().result, Cancelled);
    EXPECT_EQ(Names(dir / "game"), Texts{"slot1.dat"});
    fs::create_directories(safety / "in");  // no safety copy can be made
    const CommandOutcome noSafety = commands.OnRestore();
    ASSERT_TRUE(noSafety.error);
    EXPECT_EQ(std::tuple(noSafety.result, noSafety.error->file), std::tuple(Failed, safety));
    EXPECT_TRUE(noSafety.message.starts_with(messages::kSafetyCopyFailed));
    fs::remove_all(safety);
    host.confirm = false;
    host.answers = "n";
    EXPECT_EQ(Restore({"other.dat.save.x"}), Cancelled);
    EXPECT_EQ(StateOf(save), kStateB);
    const Texts log = host.TakeLog();
    EXPECT_EQ(Kinds(log), (Texts{"Tell", "Tell", "Ask", "Ask", "Tell", "Ask"}));
    EXPECT_TRUE(log.back().starts_with("Ask (warning)")) << log.back();
    fs::remove(backup / "other.dat.save.x");
    EXPECT_EQ(Restore({kQuick}), Done);
    EXPECT_EQ(std::pair(StateOf(save), StateOf(safety)), std::pair(kStateA, kStateB));
    EXPECT_EQ(Kinds(host.TakeLog()), Texts{"Status"});
    fs::remove(save);  // nothing to lose: the restore goes on
    fs::remove(safety);
    EXPECT_EQ(Restore({kNameA}), Done);
    EXPECT_EQ(Names(dir / "game"), Texts{"slot1.dat"});
    // Backups that are folders, or vanish between listing and use, cost
    // nothing: not even the previous safety copy.
    WriteFile(save, "state B", kTimeB);
    WriteFile(safety, "older state", kTimeA);
    fs::create_directory(backup / "slot1.dat.save.dir");
    EXPECT_EQ(Restore({"slot1.dat.save.dir"}), Failed);
    host.Select({kNameA});
    fs::remove(backup / U8(kNameA));
    const CommandOutcome vanished = commands.OnRestore();
    ASSERT_TRUE(vanished.error);
    EXPECT_EQ(std::tuple(vanished.result, vanished.error->file,
                         vanished.message.starts_with(messages::kRestoreCopyFailed)),
              std::tuple(Failed, backup / U8(kNameA), true));
    EXPECT_EQ(std::pair(StateOf(save), StateOf(safety)),
              std::pair(kStateB, FileState{"older state", kTimeA}));
    host.Select({kQuick});
    fs::remove(backup / kQuick);
    host.answers = "y";
    EXPECT_EQ(commands.OnDelete().result, Done);  // what is gone counts as deleted
    EXPECT_EQ(Kinds(host.TakeLog()), (Texts{"Status", "Tell", "Tell", "Ask", "Refresh"}));
}

// The state the safety copy holds survives any sequence of restores: before
// it is replaced it becomes a backup, unless a backup of this save has it.
TEST_F(CommandTest, NoSequenceOfRestoresLosesAState) {
    const std::string a = "slot1.dat.save.a", b = "slot1.dat.save.b";
    WriteFile(backup / a, "backup A", kTimeA - 60);
    WriteFile(backup / b, "backup B", kTimeA - 30);
    WriteFile(save, "progress P", kTimeB);  // never backed up
    // P's size and time, but not its bytes: no backup of P.
    WriteFile(backup / "slot1.dat.save.twin", "progress T", kTimeB);
    ASSERT_EQ(Restore({a}), Done);
    EXPECT_EQ(restored.keptBeforeRestore, std::nullopt);  // no safety copy yet
    ASSERT_EQ(Restore({a}), Done);                        // a double click adds nothing
    host.TakeLog();
    ASSERT_EQ(Restore({b}), Done);
    const std::string keptP = "slot1.dat.save.2023年03月05日20時01分08秒_戻す前";
    EXPECT_EQ(restored.keptBeforeRestore, keptP);
    EXPECT_EQ(StateOf(backup / U8(keptP)), (FileState{"progress P", kTimeB}));
    EXPECT_EQ(std::pair(ReadFile(save), ReadFile(safety)),
              std::pair(Content("backup B"), Content("backup A")));
    // Said as usual; the list shows the new entry but keeps the restored one selected.
    EXPECT_EQ(Kinds(host.TakeLog()), (Texts{"Status", "Refresh"}));
    EXPECT_EQ(host.list.Text(host.list.SelectedIndices(1).at(0)), b);
    // States that backups hold, under names with or without their time: nothing is added.
    for (const std::string& next : {a, keptP, a}) {
        ASSERT_EQ(Restore({next}), Done);
        EXPECT_EQ(restored.keptBeforeRestore, std::nullopt);
    }
    EXPECT_EQ(ReadFile(safety), "progress P");
    EXPECT_EQ(Names(backup).size(), 4u);
    // A name taken by other bytes moves the memo on; state B is kept as 戻す前2.
    ASSERT_EQ(Restore({b}), Done);
    fs::remove(backup / b);
    const std::string clash = "slot1.dat.save.2023年03月05日19時00分38秒_戻す前";
    WriteFile(backup / U8(clash), "someone else's", kTimeA - 30);
    WriteFile(backup / "slot1.dat.save.c", "backup C", kTimeA);
    ASSERT_EQ(Restore({"slot1.dat.save.c"}), Done);  // B goes to the safety copy
    ASSERT_EQ(Restore({a}), Done);
    EXPECT_EQ(StateOf(backup / U8(clash + "2")), (FileState{"backup B", kTimeA - 30}));
}

// Going back lands on the newest state the player kept: the states a
// restore keeps on its own are newer, but the player left them behind.
TEST_F(CommandTest, GoingBackLandsOnTheNewestStateThePlayerKept) {
    WriteFile(save, "checkpoint P", kTimeA);
    ASSERT_EQ(commands.OnFixedNameBackup().result, Done);
    for (int death = 1; death <= 3; ++death) {
        WriteFile(save, "dead " + std::to_string(death), kTimeA + 60 * death);
        host.ShowCatalogue();  // as at start or after a refresh
        ASSERT_EQ(commands.OnRestore().result, Done);
        EXPECT_EQ(ReadFile(save), "checkpoint P") << death;
    }
    host.ShowCatalogue();
    EXPECT_EQ(host.list.Text(host.list.SelectedIndices(1).at(0)), kQuick);
    EXPECT_EQ(host.list.Text(0), "slot1.dat.save.2023年03月05日19時03分08秒_戻す前");  // dead 2
    // The same second with two memos: the one made last is the newest, not
    // the first by name.
    host.memo = "先";
    ASSERT_EQ(commands.OnBackup().result, Done);
    std::this_thread::sleep_for(20ms);
    host.memo = "後";
    ASSERT_EQ(commands.OnBackup().result, Done);
    EXPECT_EQ(BackupCatalogue(locations).NewestCheckpoint(host.list), kNameA + "後");
    // The question names what goes back.
    host.confirm = true;
    host.answers = "n";
    host.TakeLog();
    EXPECT_EQ(commands.OnRestore().result, Cancelled);
    EXPECT_EQ(Kinds(host.TakeLog()), Texts{"Ask"});
    EXPECT_NE(host.asked.back().find(kNameA + "後"), std::string::npos) << host.asked.back();
    // A memo of the program's own kept states would pass a player's backup off as one.
    const auto before = Snapshot(backup);
    for (const char* memo : {"戻す前", "戻す前3", "戻"}) {
        host.memo = memo;
        EXPECT_EQ(commands.OnBackup().result, Failed) << memo;
    }
    EXPECT_EQ(Snapshot(backup), before);
    host.memo = "戻す前のボス";
    EXPECT_EQ(commands.OnBackup().result, Done);
}

// Only a regular file that nothing overwrites may count as keeping the
// safety copy's state: not the quick backup, not a link.
TEST_F(CommandTest, OnlyALastingFileKeepsAState) {
    ASSERT_EQ(commands.OnBackup().result, Done);  // X: state A
    WriteFile(save, "progress P", kTimeB);
    ASSERT_EQ(commands.OnFixedNameBackup().result, Done);
    ASSERT_EQ(Restore({kNameA}), Done);  // P goes to the safety copy; the quick backup has it
    WriteFile(save, "progress Q", kTimeB + 60);
    ASSERT_EQ(Restore({kNameA}), Done);  // P leaves the safety copy
    WriteFile(save, "progress R", kTimeB + 120);
    ASSERT_EQ(commands.OnFixedNameBackup().result, Done);
    const std::string keptP = "slot1.dat.save.2023年03月05日20時01分08秒_戻す前";
    EXPECT_EQ(std::pair(ReadFile(backup / U8(keptP)), ReadFile(safety)),
              std::pair(Content("progress P"), Content("progress Q")));
#ifndef _WIN32
    // A link named as the kept state, pointing at the safety copy itself.
    const std::string trap = "slot1.dat.save.2023年03月05日20時02分08秒_戻す前";
    fs::create_symlink(safety, backup / U8(trap));
    ASSERT_EQ(Restore({kNameA}), Done);
    EXPECT_EQ(ReadFile(backup / U8(trap + "2")), "progress Q");
#endif
}

// A save whose name leaves no room for the full memo keeps the state under a
// shorter one, and says so; restores go on.
TEST_F(CommandTest, ALongSaveNameKeepsTheStateUnderAShorterMemo) {
    LINUX_ONLY("names of 255 UTF-16 units (Wine takes 255 bytes)");
    const std::size_t longest = platform::MaxFileNameLength(backup);
    const std::string time = FormatFileTime(kTimeA);
    // Room for "_戻" or for "_" alone after "NAME.save.TIME".
    for (const std::size_t room : {std::size_t{3}, std::size_t{0}}) {
        const std::size_t length = longest - platform::NameLength(".save." + time + "_") - room;
        const std::string name(length - 4, 'n');
        const fs::path longSave = dir / "game" / U8(name + ".dat");
        WriteFile(longSave, "state A", kTimeA);
        ASSERT_TRUE(locations.SetSaveFile(Utf8(longSave)));
        ASSERT_EQ(commands.OnBackup().result, Done) << room;
        for (const char* state : {"state B", "state C"}) {
            WriteFile(longSave, state, kTimeB);
            ASSERT_EQ(Restore({name + ".dat.save." + time + "_"}), Done) << room;
        }
        const std::string kept =
            name + ".dat.save." + FormatFileTime(kTimeB) + "_" + (room ? "戻" : "");
        EXPECT_EQ(restored.keptBeforeRestore, kept);
        EXPECT_EQ(ReadFile(backup / U8(kept)), "state B");
        EXPECT_TRUE(messages::KeptBeforeRestoreNote(kept).ends_with("メモを短くしました）"));
    }
}

// A copy still running after the delay shows how far it has got, chunk by
// chunk, in whole MiB (done rounded down, the size up) up to the whole, and
// ends that before the result is told. (The exact logs above show that a
// quick copy shows nothing.)
TEST_F(CommandTest, LongCopiesShowProgressUpToTheWhole) {
    constexpr std::uint64_t kChunk = 4096, kSize = 10 * kChunk + 100;
    // Each look at the clock is 300 ms on: the first chunk ends within the
    // 500 ms delay, every later one is past the 100 ms interval.
    std::chrono::steady_clock::time_point now;
    BackupCommands paced(locations, host,
                         {.chunkBytes = kChunk, .now = [&] { return now += 300ms; }});
    std::vector<std::pair<std::uint64_t, std::uint64_t>> shown;
    for (std::uint64_t done = 2 * kChunk; done < kSize; done += kChunk) {
        shown.emplace_back(done, kSize);
    }
    shown.emplace_back(kSize, kSize);
    const std::string big(kSize, 'x');
    WriteFile(save, big, kTimeB);
    ASSERT_EQ(paced.OnFixedNameBackup().result, Done);
    WriteFile(save, "state A", kTimeA);
    host.Select({kQuick});
    ASSERT_EQ(paced.OnRestore().result, Done);
    EXPECT_EQ(ReadFile(save), big);
    Texts log(shown.size() - 1, "Progress slot1.dat.save.temp にコピー中 0 / 1 MiB");
    log.insert(log.end(), {"Progress slot1.dat.save.temp にコピー中 1 / 1 MiB", "Progress end",
                           "Status slot1.dat.save.temp にバックアップ", "Refresh"});
    log.insert(log.end(), shown.size() - 1, "Progress slot1.dat にコピー中 0 / 1 MiB");
    log.insert(log.end(), {"Progress slot1.dat にコピー中 1 / 1 MiB", "Progress end",
                           "Status " + std::string(messages::kRestored)});
    EXPECT_EQ(host.TakeLog(), log);
    shown.insert(shown.end(), shown.begin(), shown.end());
    EXPECT_EQ(host.progress, shown);
}

// A trigger that arrives while a command runs (a key let through while a long
// copy paints the window) is refused, never nested; once the command is over
// it works. A trigger without a user never opens a box.
TEST_F(CommandTest, ATriggerDuringACommandIsRefusedNotNested) {
    constexpr std::uint64_t kChunk = 4096;
    std::chrono::steady_clock::time_point now;
    CommandGate gate;
    BackupCommands window(locations, host, gate,
                          {.chunkBytes = kChunk, .now = [&] { return now += 300ms; }});
    QuietVoice quiet(true);
    BackupOperations hotkey(locations, quiet, gate);
    WriteFile(save, std::string(20 * kChunk, 'x'), kTimeB);
    std::vector<CommandResult> nested;
    host.duringCopy = [&] {
        if (nested.empty()) {  // once: a nested copy shows progress too
            nested = {CommandResult::Done};
            nested = {hotkey.Backup("").result, hotkey.QuickBackup().result,
                      hotkey.Restore(backup / kQuick, RestoreQuestion::Skip).result,
                      hotkey.Delete({backup / kQuick}).result, window.OnFixedNameBackup().result};
        }
    };
    ASSERT_EQ(window.OnBackup().result, Done);
    EXPECT_EQ(nested, std::vector<CommandResult>(5, CommandResult::Busy));
    EXPECT_EQ(Names(backup), Texts{"slot1.dat.save." + FormatFileTime(kTimeB) + "_"});
    EXPECT_EQ(Names(dir / "game"), Texts{"slot1.dat"});
    // Over: the same triggers run, and the quiet one asks no one.
    EXPECT_EQ(hotkey.QuickBackup().result, Done);
    host.TakeLog();
    EXPECT_EQ(hotkey.Restore(backup / kQuick, RestoreQuestion::Ask).result, Done);
    WriteFile(backup / "other.dat.save.x", "other game", kTimeB);
    EXPECT_EQ(hotkey.Restore(backup / "other.dat.save.x", RestoreQuestion::Skip).result,
              Cancelled);  // another save's backup is never put back unseen
    EXPECT_EQ(host.TakeLog(), Texts{});
}

// Odd files where the save, the settings, a backup or a temporary file
// should be: refused or left alone, never waited on or clobbered.
TEST_F(CommandTest, OddEntriesAreRefusedOrLeftAlone) {
    LINUX_ONLY("symbolic links and FIFOs");
#ifndef _WIN32
    ASSERT_EQ(commands.OnFixedNameBackup().result, Done);
    // What a killed copy left goes; the user's own file that looks alike stays.
    const fs::path notes = dir / "game/.tsumugiya-notes.tmp", target = dir / "game/real.dat";
    WriteFile(notes, "the user's own");
    WriteFile(dir / "game/.tsumugiya-AbCd12.tmp", "left by a killed restore");
    WriteFile(save, "state B", kTimeB);
    // A mode of its own, kept through the restore.
    fs::permissions(save, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(Restore({kQuick}), Done);
    EXPECT_EQ(
        std::tuple(static_cast<unsigned>(fs::status(save).permissions()), StateOf(save),
                   Names(dir / "game")),
        std::tuple(0440u, kStateA, Texts{".tsumugiya-notes.tmp", "slot1.dat", "slot1.dat.s"}));
    fs::remove(save);
    fs::remove(safety);
    fs::create_symlink(target, save);  // a link to a save not written yet
    EXPECT_EQ(commands.OnRestore().result, Done);
    EXPECT_TRUE(fs::is_symlink(save));
    EXPECT_EQ(std::pair(StateOf(target), ReadFile(notes)),
              std::pair(kStateA, Content("the user's own")));
    fs::create_symlink(target, backup / "linked.dat.save.1");  // goes, not what it points to
    host.Select({"linked.dat.save.1"});
    host.answers = "y";
    EXPECT_EQ(commands.OnDelete().result, Done);
    EXPECT_EQ(std::pair(Names(backup), StateOf(target)), std::pair(Texts{kQuick}, kStateA));
    fs::remove(save);
    ASSERT_EQ(::mkfifo(save.c_str(), 0600), 0);  // would block a plain open
    EXPECT_EQ(commands.OnBackup().result, Failed);
    EXPECT_EQ(commands.OnRestore().result, Failed);
    ASSERT_EQ(::mkfifo((dir / "app/tsumugiya.ini").c_str(), 0600), 0);
    platform::IoError error;
    EXPECT_FALSE(locations.SaveSettings(error));
    EXPECT_TRUE(fs::is_fifo(dir / "app/tsumugiya.ini"));
#endif
}

}  // namespace
