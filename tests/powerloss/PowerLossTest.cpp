// What a power cut leaves behind tsumugiya-cli, found two ways: on the real
// kernel, with loop-mounted ext4 and XFS shut down before each call that
// changes the disk (Layer 1), and by rebuilding every state a file system may
// keep from one recorded run (Layer 2). Both use the checker in Scenario.cpp;
// failed calls are injected the same way.
//
// Environment (bench/power-cuts.sh sets them for a long run):
// TSUMUGIYA_POWERLOSS_ROUNDS cuts at every point that many times on each file
// system (default 1); TSUMUGIYA_POWERLOSS_MIXES bounds the mixes of pending
// calls rebuilt per point (default 256).

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <set>

#include "platform/Platform.h"
#include "powerloss/CrashStates.h"
#include "powerloss/Scenario.h"
#include "powerloss/Shutdown.h"
#include "support/TestSupport.h"

using namespace tsumugiya::powerloss;
using tsumugiya::test::TempFolder;

namespace {

std::size_t EnvOr(const char* name, std::size_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::stoul(text) : fallback;
}

// The calls a run made, recorded beside root.
std::vector<TracedCall> Traced(const fs::path& root, const std::vector<std::string>& args,
                               Injection injection, CliRun& run) {
    injection.trace = root.string() + ".trace";
    fs::remove(injection.trace);
    run = RunCli(root, args, injection);
    const auto calls = ParseTrace(tsumugiya::test::ReadFile(injection.trace).value_or(""));
    fs::remove(injection.trace);
    return calls;
}

// A scenario's files in root, on disk, with the game's unflushed write on top.
Tree Prepare(const fs::path& root, const Scenario& scenario) {
    Materialize(root, scenario.Start(root));
    scenario.Populate(root);
    ::sync();
    if (!scenario.Unflushed().empty()) {
        const fs::path save = fs::canonical(root / "saves" / "game.sav");
        tsumugiya::test::WriteFile(save, scenario.Unflushed(), tsumugiya::test::ModTime(save));
    }
    return Snapshot(root);
}

// Runs the scenario through once, recording its calls: what a crash is
// judged against.
Expectation Recorded(const fs::path& root, const Scenario& scenario,
                     std::vector<TracedCall>& calls) {
    const Tree before = Prepare(root, scenario);
    CliRun run;
    calls = Traced(root, scenario.Args(false), {}, run);
    EXPECT_EQ(run.status, 0) << run.err;
    return {scenario, before, Snapshot(root)};
}

// Checks what a crash left in root, then the command run again on it.
void ExpectRecovers(const fs::path& root, const Expectation& expected, const Tree& left,
                    bool exited, const std::string& crash) {
    EXPECT_EQ(CheckCrashed(expected, left, exited), "") << crash;
    const CliRun rerun = RunCli(root, expected.scenario.Args(true));
    EXPECT_EQ(CheckRerun(expected, left, Snapshot(root), rerun), "") << "rerun after " << crash;
}

// --- Layer 1 ---------------------------------------------------------------

struct FileSystem {
    std::string name, mkfs, options;
    std::size_t megabytes;
};

class LoopMount {
  public:
    explicit LoopMount(const FileSystem& fs) : options_(fs.options) {
        const std::string image = (folder_ / "image").string();
        mountPoint_ = folder_ / "mnt";
        fs::create_directory(mountPoint_);
        std::ofstream{image};
        if (::truncate(image.c_str(), static_cast<off_t>(fs.megabytes) << 20) != 0 ||
            !Shell(fs.mkfs + " " + image + " >/dev/null 2>&1") || !Mount()) {
            refusal_ = "cannot make and loop-mount " + fs.name + " (needs root and loop devices)";
            return;
        }
        if (const int err = ShutDown(mountPoint_.c_str()); err != 0) {
            refusal_ = fs.name + " refuses the shutdown call: " + std::strerror(err);
            return;
        }
        if (!Remount()) {
            refusal_ = "cannot mount " + fs.name + " again after a shutdown";
            return;
        }
        root_ = InstallCli(mountPoint_);
    }
    ~LoopMount() {
        if (mounted_) {
            Shell("umount " + mountPoint_.string());
        }
    }
    const std::string& Refusal() const { return refusal_; }
    const fs::path& Root() const { return root_; }
    const fs::path& MountPoint() const { return mountPoint_; }
    // Unmounts a file system that went down and mounts it again, which
    // replays its journal as the next boot would.
    bool Remount() {
        for (int attempt = 0; attempt < 5; ++attempt) {
            mounted_ = !Shell("umount " + mountPoint_.string());
            if (!mounted_ && Mount() && Usable()) {
                return true;
            }
            // A loop device let go of lazily may still hold the stopped file system.
            ::usleep(200'000);
        }
        return false;
    }

  private:
    // A file system still down fails every write.
    bool Usable() const {
        std::error_code error;
        return fs::create_directory(mountPoint_ / "probe", error) &&
               fs::remove(mountPoint_ / "probe", error);
    }
    static bool Shell(const std::string& line) { return std::system(line.c_str()) == 0; }
    bool Mount() {
        mounted_ = Shell("mount -o loop" + options_ + " " + (folder_ / "image").string() + " " +
                         mountPoint_.string() + " 2>/dev/null");
        return mounted_;
    }

    TempFolder folder_;
    std::string options_;
    fs::path mountPoint_, root_;
    std::string refusal_;
    bool mounted_ = false;
};

void CrashOnDisk(const FileSystem& fileSystem) {
    LoopMount disk(fileSystem);
    if (!disk.Refusal().empty()) {
        GTEST_SKIP() << disk.Refusal();
    }
    const fs::path& root = disk.Root();
    const std::size_t rounds = EnvOr("TSUMUGIYA_POWERLOSS_ROUNDS", 1);
    for (const Scenario& scenario : Scenarios()) {
        SCOPED_TRACE(fileSystem.name + " " + scenario.Name());
        std::vector<TracedCall> traced;
        const Expectation expected = Recorded(root, scenario, traced);
        const std::size_t calls = traced.size();
        for (std::size_t cut = 0; cut < (calls + 1) * rounds; ++cut) {
            const std::size_t point = cut % (calls + 1) + 1;
            Prepare(root, scenario);
            const bool afterExit = point > calls;
            const CliRun run = RunCli(root, scenario.Args(false),
                                      {.stop = afterExit ? 0 : static_cast<long>(point),
                                       .mount = disk.MountPoint().string()});
            if (afterExit) {
                ASSERT_EQ(ShutDown(disk.MountPoint().c_str()), 0);
            }
            ASSERT_EQ(run.status, afterExit ? 0 : kStoppedExit) << "point " << point << run.err;
            ASSERT_TRUE(disk.Remount());
            ExpectRecovers(root, expected, Snapshot(root), afterExit,
                           "the cut before call " + std::to_string(point));
        }
        std::cout << "[ POINTS   ] " << fileSystem.name << " " << scenario.Name() << ": "
                  << calls + 1 << " crash points\n";
    }
}

TEST(Layer1, Ext4WithoutAllocOnRename) {
    CrashOnDisk({"ext4", "mkfs.ext4 -q -F", ",noauto_da_alloc", 64});
}

TEST(Layer1, XfsWithClones) {
    CrashOnDisk({"xfs", "mkfs.xfs -q -f -m reflink=1", "", 300});
}

// --- Layer 2 ---------------------------------------------------------------

TEST(Layer2, EveryCrashStateOfTheModel) {
    const TempFolder folder;
    const fs::path root = InstallCli(folder.path);
    const std::size_t mixes = EnvOr("TSUMUGIYA_POWERLOSS_MIXES", 256);
    for (const Scenario& scenario : Scenarios()) {
        if (!scenario.Unflushed().empty()) {
            continue;  // the model starts from what is on disk
        }
        SCOPED_TRACE(scenario.Name());
        std::vector<TracedCall> calls;
        const Expectation expected = Recorded(root, scenario, calls);
        const CrashStates model(root, expected.before, calls);
        std::set<Tree> seen;
        std::size_t built = 0;
        for (std::size_t point = 0; point <= model.Calls(); ++point) {
            const auto states = model.At(point, mixes);
            built += states.size();
            EXPECT_EQ(CheckCrashed(expected, states[0], point == model.Calls()), "")
                << "what is on disk for sure before call " << point + 1;
            for (const Tree& state : states) {
                if (!seen.insert(state).second) {
                    continue;
                }
                Materialize(root, state);
                ExpectRecovers(root, expected, state, false,
                               "a state before call " + std::to_string(point + 1));
            }
        }
        std::cout << "[ STATES   ] " << scenario.Name() << ": " << model.Calls() + 1
                  << " crash points, " << built << " states built, " << seen.size()
                  << " distinct checked\n";
    }
}

// --- Failed calls ------------------------------------------------------------

// Each flush, write, rename and link fails in turn: the run ends with a
// failure that names the file and the cause and loses nothing, or it found
// another way and did all its work.
TEST(FailedCalls, EndTheCommandLosingNothing) {
    const TempFolder folder;
    const fs::path root = InstallCli(folder.path);
    constexpr Call kMayFail[] = {Call::SyncFile, Call::SyncFolder, Call::Write,     Call::Clone,
                                 Call::Rename,   Call::Link,       Call::MakeFolder};
    for (const Scenario& scenario : Scenarios()) {
        SCOPED_TRACE(scenario.Name());
        std::vector<TracedCall> calls;
        const Expectation expected = Recorded(root, scenario, calls);
        const Tree& before = expected.before;
        CliRun run;
        const auto replaced =
            std::ranges::find(calls, (root / "saves" / "game.sav").string(), &TracedCall::other);
        std::size_t failed = 0;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (std::ranges::count(kMayFail, calls[i].call) == 0) {
                continue;
            }
            ++failed;
            const bool full = i % 2 == 1;
            Prepare(root, scenario);
            const auto made =
                Traced(root, scenario.Args(false),
                       {.fail = static_cast<long>(i + 1), .error = full ? ENOSPC : EIO}, run);
            const Tree left = Snapshot(root);
            SCOPED_TRACE("call " + std::to_string(i + 1) + " (" + static_cast<char>(calls[i].call) +
                         " " + calls[i].path + ") failed");
            // Told done after a failed call: another way must have put it all on disk.
            if (run.status == 0) {
                const Tree onDisk = CrashStates(root, before, made).At(made.size(), 0)[0];
                EXPECT_EQ(CheckCrashed(expected, onDisk, true), "") << "on disk";
            } else {
                // Nothing may stand in for a safety copy that is not on disk.
                EXPECT_TRUE(calls.begin() + static_cast<long>(i) >= replaced ||
                            left.at("saves/game.sav") == before.at("saves/game.sav"))
                    << "the save was replaced";
                const std::string cause = tsumugiya::platform::ErrnoCause(full ? ENOSPC : EIO);
                EXPECT_TRUE(run.status == 1 && run.err.find(root.string() + "/") != run.err.npos &&
                            run.err.find(cause) != run.err.npos)
                    << "exit " << run.status << ", not 1 naming the file and " << cause << ":\n"
                    << run.err;
            }
            // The failed copy's temporary file goes with it, and the next run does the work.
            EXPECT_TRUE(std::ranges::none_of(left, [](const auto& entry) {
                const std::string name = fs::path(entry.first).filename().string();
                return name.starts_with(".tsumugiya-") && name.ends_with(".tmp");
            })) << "a temporary file was left";
            ExpectRecovers(root, expected, left, run.status == 0, "the failed call");
        }
        std::cout << "[ FAILURES ] " << scenario.Name() << ": " << failed << " of " << calls.size()
                  << " calls failed in turn\n";
    }
}

// Folders a run made whose names were not flushed into their parents before
// a file was put in them (folders made inside hold nothing reported).
std::vector<std::string> UsedBeforeOnDisk(const std::vector<TracedCall>& calls) {
    std::vector<std::string> unsafe;
    for (auto call = calls.begin(); call != calls.end(); ++call) {
        if (call->call != Call::MakeFolder) {
            continue;
        }
        const auto flushed = std::find_if(call, calls.end(), [&](const TracedCall& later) {
            return later.call == Call::SyncFolder &&
                   later.path == fs::path(call->path).parent_path();
        });
        const auto used = std::find_if(call + 1, calls.end(), [&](const TracedCall& later) {
            return later.path.starts_with(call->path + "/") && later.call != Call::MakeFolder &&
                   later.call != Call::SyncFolder;
        });
        if (used != calls.end() && flushed > used) {
            unsafe.push_back(call->path);
        }
    }
    return unsafe;
}

// Each folder the run makes has its name on disk before a file is put in it;
// when that flush fails, the run fails naming the folder, or makes the folder
// again and puts that one on disk.
void ExpectNewFoldersOnDisk(const fs::path& root, const std::vector<std::string>& args,
                            const std::function<void()>& prepare, const Injection& setting,
                            std::size_t folders) {
    prepare();
    CliRun run;
    const auto calls = Traced(root, args, setting, run);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(UsedBeforeOnDisk(calls), std::vector<std::string>{});
    std::size_t made = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].call != Call::SyncFolder ||
            std::ranges::none_of(calls.begin(), calls.begin() + static_cast<long>(i),
                                 [&](const TracedCall& call) {
                                     return call.call == Call::MakeFolder &&
                                            fs::path(call.path).parent_path() == calls[i].path;
                                 })) {
            continue;
        }
        ++made;
        prepare();
        Injection failing = setting;
        failing.fail = static_cast<long>(i) + 1;
        const auto left = Traced(root, args, failing, run);
        SCOPED_TRACE("the flush of " + calls[i].path + " failed");
        EXPECT_EQ(UsedBeforeOnDisk(left), std::vector<std::string>{});
        const std::string cause = ": " + tsumugiya::platform::ErrnoCause(EIO);
        EXPECT_TRUE(run.status == 0 || (run.status == 1 && run.err.find(cause) != run.err.npos))
            << "exit " << run.status << ":\n"
            << run.err;
    }
    EXPECT_EQ(made, folders);
}

TEST(NewFolders, BackupFolderBesideTheProgram) {
    const TempFolder folder;
    const fs::path root = InstallCli(folder.path);
    const Scenario scenario{Command::Backup, {.name = "no_backup_folder", .backupFolder = false}};
    ExpectNewFoldersOnDisk(
        root, scenario.Args(false), [&] { Prepare(root, scenario); }, {}, 1);
}

// An installed copy, one that cannot write beside itself, makes its XDG
// folders, parents and all.
TEST(NewFolders, XdgFolders) {
    const TempFolder folder;
    const fs::path root = InstallCli(folder.path);
    const std::string bin = (root / "bin").string();
    if (std::system(("mount --bind " + bin + " " + bin + " && mount -o remount,bind,ro " + bin +
                     " " + bin + " 2>/dev/null")
                        .c_str()) != 0) {
        GTEST_SKIP() << "cannot mount the program's folder read-only (needs root)";
    }
    const auto prepare = [&] {
        fs::remove_all(root / "xdg");
        fs::create_directories(root / "saves");
        tsumugiya::test::WriteFile(root / "saves" / "game.sav", "save");
    };
    const Injection xdg{.env = {"XDG_CONFIG_HOME=" + (root / "xdg" / "config").string(),
                                "XDG_DATA_HOME=" + (root / "xdg" / "data").string()}};
    // use makes the settings' folders; the first backup makes the backups'.
    ExpectNewFoldersOnDisk(root, {"use", (root / "saves" / "game.sav").string()}, prepare, xdg, 3);
    const auto chosen = [&] {
        prepare();
        fs::create_directories(root / "xdg" / "config" / "tsumugiya");
        tsumugiya::test::WriteFile(
            root / "xdg" / "config" / "tsumugiya" / "tsumugiya.ini",
            "[SaveFile]\nfolder=" + (root / "saves").string() + "\nfilename=game.sav\n");
    };
    ExpectNewFoldersOnDisk(root, {"quick"}, chosen, xdg, 3);
    EXPECT_EQ(std::system(("umount " + bin).c_str()), 0);
}

}  // namespace
