// End-to-end tests of the tsumugiya-cli binary: each test runs a private copy of it in a fresh
// folder, so the settings file and backup folder it makes beside itself land there.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Reads a pipe to its end.
std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

// Runs the program in cwd with stdin on /dev/null (never a terminal) and only TZ=UTC0 in its
// environment, so that the time text in backup names does not depend on the machine's zone.
Outcome RunProgram(const fs::path& program, std::vector<std::string> args, const fs::path& cwd) {
    args.insert(args.begin(), program.string());
    // Built before fork: the child must not allocate.
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    char zone[] = "TZ=UTC0";
    char* envp[] = {zone, nullptr};
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(outPipe[1], 1) < 0 || ::dup2(errPipe[1], 2) < 0 ||
            ::chdir(cwd.c_str()) != 0) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), envp);
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    Outcome outcome;
    // stderr on its own thread, so that a child filling one pipe cannot stall on the other.
    std::thread errReader([&] { outcome.err = Drain(errPipe[0]); });
    outcome.out = Drain(outPipe[0]);
    errReader.join();
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        ADD_FAILURE() << "could not run " << program;
    } else {
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return outcome;
}

fs::path MakeTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tsumugiya-cli-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    // Canonical, so that paths match what the child gets from getcwd.
    return fs::canonical(pattern);
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& file, const std::string& bytes, std::int64_t time) {
    std::ofstream(file, std::ios::binary) << bytes;
    const std::chrono::sys_seconds at{std::chrono::seconds(time)};
    fs::last_write_time(file, std::chrono::file_clock::from_sys(at));
}

std::int64_t TimeOf(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

// Adds every entry under a folder with what it holds, to show that a command changed nothing.
void Snapshot(const fs::path& folder, std::map<std::string, std::string>& entries) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string key = entry.path().string();
        if (entry.is_symlink()) {
            entries[key] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            entries[key] = "/";
        } else {
            entries[key] = std::to_string(TimeOf(entry.path())) + ":" + Read(entry.path());
        }
    }
}

// 2023-03-06 04:01:08 UTC and two later save states.
constexpr std::int64_t kTimeA = 1678075268;
constexpr std::int64_t kTimeB = kTimeA + 3600;
constexpr std::int64_t kTimeC = kTimeA + 7200;
const std::string kNameA = "slot1.dat.save.2023年03月06日04時01分08秒_";

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        app_ = MakeTempFolder();
        game_ = MakeTempFolder();
        backups_ = app_ / "backup";
        exe_ = Install("tsumugiya-cli");
        save_ = game_ / "slot1.dat";
        Write(save_, "state A", kTimeA);
    }
    void TearDown() override {
        fs::remove_all(app_);
        fs::remove_all(game_);
    }

    fs::path Install(const std::string& name) {
        const fs::path target = app_ / name;
        fs::copy_file(TSUMUGIYA_CLI, target);
        return target;
    }
    Outcome Run(const std::vector<std::string>& args) { return RunProgram(exe_, args, app_); }
    // Chooses the save file and checks that this worked, as most tests start with it.
    void Use() {
        const Outcome use = Run({"use", save_.string()});
        ASSERT_EQ(use.status, 0) << use.err;
        ASSERT_EQ(use.out, "save: " + save_.string() + "\n");
    }
    static std::vector<std::string> Names(const fs::path& folder) {
        std::vector<std::string> names;
        std::error_code missing;
        for (const auto& entry : fs::directory_iterator(folder, missing)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Both folders the program may touch, with every entry's content and time.
    std::map<std::string, std::string> Everything() const {
        std::map<std::string, std::string> entries;
        Snapshot(app_, entries);
        Snapshot(game_, entries);
        return entries;
    }

    fs::path app_, game_, backups_, exe_, save_;
};

TEST_F(Cli, WholeSessionBacksUpListsRestoresAndQuickSaves) {
    Use();
    const Outcome first = Run({"backup", "--memo", "城の前"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, kNameA + "城の前 にバックアップ\n");
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(Read(backups_ / (kNameA + "城の前")), "state A");
    EXPECT_EQ(TimeOf(backups_ / (kNameA + "城の前")), kTimeA);

    Write(save_, "state B", kTimeB);
    const Outcome second = Run({"backup", "--memo", "boss"});
    ASSERT_EQ(second.status, 0) << second.err;
    const std::string nameB = "slot1.dat.save.2023年03月06日05時01分08秒_boss";
    EXPECT_EQ(second.out, nameB + " にバックアップ\n");

    // The quick backup overwrites its one file without asking.
    ASSERT_EQ(Run({"quick"}).status, 0);
    Write(save_, "state C", kTimeC);
    const Outcome quick = Run({"quick"});
    EXPECT_EQ(quick.status, 0);
    EXPECT_EQ(quick.out, "slot1.dat.save.temp にバックアップ\n");
    EXPECT_EQ(quick.err, "");
    EXPECT_EQ(Read(backups_ / "slot1.dat.save.temp"), "state C");

    // Listed by the save state's time, newest first, not by name or creation order.
    const Outcome list = Run({"list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "slot1.dat.save.temp\n" + nameB + "\n" + kNameA + "城の前\n");

    const Outcome restore = Run({"restore", kNameA + "城の前", "--yes"});
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_EQ(restore.out, " 選択ファイルをロード\n");
    EXPECT_EQ(Read(save_), "state A");
    EXPECT_EQ(TimeOf(save_), kTimeA);
    EXPECT_EQ(Read(game_ / "slot1.dat.s"), "state C");
    EXPECT_EQ(TimeOf(game_ / "slot1.dat.s"), kTimeC);

    // Without a name the newest comes back, and the safety copy now holds state A.
    ASSERT_EQ(Run({"restore", "--yes"}).status, 0);
    EXPECT_EQ(Read(save_), "state C");
    EXPECT_EQ(Read(game_ / "slot1.dat.s"), "state A");
    EXPECT_EQ(Names(game_), (std::vector<std::string>{"slot1.dat", "slot1.dat.s"}));
}

TEST_F(Cli, SettingsFileFollowsTheRenamedBinary) {
    const fs::path other = Install("other-cli");
    const Outcome use = RunProgram(other, {"use", save_.string()}, app_);
    ASSERT_EQ(use.status, 0) << use.err;
    EXPECT_TRUE(fs::exists(app_ / "other.ini"));
    EXPECT_FALSE(fs::exists(app_ / "tsumugiya.ini"));

    // The two names keep separate choices in the same folder.
    Write(game_ / "slot2.dat", "other game", kTimeB);
    ASSERT_EQ(Run({"use", (game_ / "slot2.dat").string()}).status, 0);
    const Outcome where = RunProgram(other, {"where"}, app_);
    EXPECT_EQ(where.out, "settings: " + (app_ / "other.ini").string() + "\nsave: " +
                             save_.string() + "\nbackups: " + backups_.string() + "\n");
}

TEST_F(Cli, UseStoresARelativePathAsAbsoluteAndWhereShowsIt) {
    const Outcome use = RunProgram(exe_, {"use", "slot1.dat"}, game_);
    ASSERT_EQ(use.status, 0) << use.err;
    EXPECT_EQ(use.out, "save: " + save_.string() + "\n");
    // A later run from another folder still finds the same save file.
    const Outcome where = Run({"where"});
    EXPECT_EQ(where.status, 0);
    EXPECT_EQ(where.out, "settings: " + (app_ / "tsumugiya.ini").string() + "\nsave: " +
                             save_.string() + "\nbackups: " + backups_.string() + "\n");
    EXPECT_EQ(Run({"backup"}).status, 0);
    EXPECT_EQ(Names(backups_), std::vector<std::string>{kNameA});
}

TEST_F(Cli, SecondIdenticalBackupIsRefused) {
    Use();
    ASSERT_EQ(Run({"backup", "--memo", "x"}).status, 0);
    const Outcome again = Run({"backup", "--memo", "x"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "同じ名前のファイルがあります。\n");
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(Names(backups_), std::vector<std::string>{kNameA + "x"});
}

TEST_F(Cli, UnsafeMemoIsRefusedAndWritesNothing) {
    Use();
    const auto before = Everything();
    const std::vector<std::string> memos = {"a/b", "../../x", "a\\b", "a\nb",
                                            std::string(300, 'm')};
    for (const std::string& memo : memos) {
        const Outcome backup = Run({"backup", "--memo", memo});
        EXPECT_EQ(backup.status, 1) << memo;
        EXPECT_EQ(backup.err, "!!! セーブファイルのコピーに失敗しました。\n") << memo;
    }
    EXPECT_EQ(Everything(), before);
}

TEST_F(Cli, BackupWithNoSaveFileChosenFailsWithoutWriting) {
    ASSERT_EQ(Run({"where"}).status, 0);
    const auto before = Everything();
    for (const std::string command : {"backup", "quick"}) {
        const Outcome backup = Run({command});
        EXPECT_EQ(backup.status, 1) << command;
        EXPECT_NE(backup.err, "") << command;
        // Nothing chosen means no path to name: certainly not "/" or the program's folder.
        EXPECT_EQ(backup.err.find('/'), std::string::npos) << backup.err;
    }
    EXPECT_EQ(Everything(), before);
}

TEST_F(Cli, WithoutYesAndNoTerminalNothingIsOverwrittenOrDeleted) {
    Use();
    ASSERT_EQ(Run({"backup"}).status, 0);
    Write(save_, "state B", kTimeB);
    const auto before = Everything();

    const Outcome restore = Run({"restore"});
    EXPECT_EQ(restore.status, 1);
    EXPECT_EQ(restore.out, "");
    const Outcome erase = Run({"delete", kNameA});
    EXPECT_EQ(erase.status, 1);
    EXPECT_EQ(Everything(), before);
}

TEST_F(Cli, NameNotInTheListIsRefusedNeverTakenAsAPath) {
    Use();
    ASSERT_EQ(Run({"backup"}).status, 0);
    Write(save_, "state B", kTimeB);
    // Real files that a name taken as a path would reach.
    Write(app_ / "x", "outside", kTimeC);
    Write(game_ / "slot1.dat.save.evil", "evil", kTimeC);
    const auto before = Everything();
    const std::vector<std::string> names = {"../x", (game_ / "slot1.dat.save.evil").string(),
                                            (backups_ / kNameA).string(), "slot1.dat.save.missing"};
    for (const std::string& name : names) {
        for (const std::string command : {"restore", "delete"}) {
            const Outcome run = Run({command, name, "--yes"});
            EXPECT_EQ(run.status, 1) << command << " " << name;
            EXPECT_EQ(run.out, "") << command << " " << name;
        }
    }
    EXPECT_EQ(Everything(), before);
}

TEST_F(Cli, DeleteRemovesSeveralNamedBackups) {
    Use();
    for (const char* memo : {"a", "b", "c"}) {
        ASSERT_EQ(Run({"backup", "--memo", memo}).status, 0);
    }
    const Outcome erase = Run({"delete", kNameA + "a", kNameA + "c", "--yes"});
    EXPECT_EQ(erase.status, 0) << erase.err;
    EXPECT_EQ(Names(backups_), std::vector<std::string>{kNameA + "b"});
    EXPECT_EQ(Run({"list"}).out, kNameA + "b\n");
}

TEST_F(Cli, DeletingALinkEntryKeepsItsTarget) {
    Use();
    fs::create_directories(backups_);
    const fs::path target = game_ / "keep.dat";
    Write(target, "precious", kTimeB);
    fs::create_symlink(target, backups_ / "slot1.dat.save.link");
    ASSERT_EQ(Run({"list"}).out, "slot1.dat.save.link\n");

    const Outcome erase = Run({"delete", "slot1.dat.save.link", "--yes"});
    EXPECT_EQ(erase.status, 0) << erase.err;
    EXPECT_FALSE(fs::exists(fs::symlink_status(backups_ / "slot1.dat.save.link")));
    EXPECT_EQ(Read(target), "precious");
}

TEST_F(Cli, UsageErrorsExitTwoWithUsageOnStderrAndHelpExitsZero) {
    const std::vector<std::vector<std::string>> calls = {
        {},      {"frobnicate"},          {"list", "--bogus"},
        {"use"}, {"list", "--memo", "x"}, {"restore", "--memo", "x"}};
    for (const auto& args : calls) {
        const Outcome run = Run(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: "), std::string::npos) << ::testing::PrintToString(args);
        EXPECT_EQ(run.out, "");
    }
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: ", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
}

}  // namespace
