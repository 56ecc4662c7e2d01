// The commands when writes are refused, files change under them or the
// settings are hostile: they may fail, but never lose, tear or misplace a
// save state.

#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#endif

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "ProgramFiles.h"
#include "support/FakeHost.h"

using namespace tsumugiya;
using namespace tsumugiya::test;
using enum CommandResult;

namespace {

const std::string kCopyFailed = "!!! セーブファイルのコピーに失敗しました。";

// A tmpfs over a folder while it lives. The process first moves to a mount
// namespace of its own, so that not even a crash leaves a mount behind.
#ifdef __linux__
struct Tmpfs {
    Tmpfs(const fs::path& at, const char* options) : at(at) {
        static const bool own = ::unshare(CLONE_NEWNS) == 0 &&
                                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        mounted = own && ::mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
    }
    ~Tmpfs() {
        if (mounted) {
            ::umount2(at.c_str(), MNT_DETACH);
        }
    }
    bool Remount(unsigned long flags) {
        return ::mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | flags, nullptr) == 0;
    }
    fs::path at;
    bool mounted;
};

#define MOUNT_OR_SKIP(name, at, options) \
    Tmpfs name(at, options);             \
    if (!name.mounted)                   \
    GTEST_SKIP() << "cannot mount a tmpfs (needs root): " << std::strerror(errno)
#else
struct Tmpfs {
    bool Remount(unsigned long) { return false; }
};
#define MOUNT_OR_SKIP(name, at, options) \
    [[maybe_unused]] Tmpfs name;         \
    LINUX_ONLY("a tmpfs mounted read-only")
#define MS_RDONLY 1ul
#endif

class Robustness : public CommandTest {};

// Nothing goes into a backup folder that refuses writes: no part of a
// backup, no temporary file. A safety copy whose state no backup holds
// cannot be kept there, so a restore stops too, saying why. (A full disk
// fails the writes after these; the power-loss suite fails each of those.)
TEST_F(Robustness, AReadOnlyBackupFolderTakesNothingAndStopsARestore) {
    MOUNT_OR_SKIP(disk, backup, "size=1m");
    ASSERT_EQ(commands.OnFixedNameBackup().result, Done);
    WriteFile(backup / "slot1.dat.save.b", "backup B", kTimeA);
    WriteFile(save, "progress P", kTimeB);
    ASSERT_EQ(Restore({"slot1.dat.save.temp"}), Done);  // P is now the safety copy
    WriteFile(save, "progress Q", kTimeB);
    ASSERT_TRUE(disk.Remount(MS_RDONLY));
    const auto before = std::pair(Snapshot(dir / "game"), Snapshot(backup));
    host.TakeLog();
    EXPECT_EQ(commands.OnFixedNameBackup().result, Failed);
    EXPECT_TRUE(host.told.at(0).ends_with(": " + platform::ErrnoCause(EROFS))) << host.told.at(0);
    EXPECT_EQ(commands.OnBackup().result, Failed);
    EXPECT_EQ(Restore({"slot1.dat.save.b"}), Failed);
    EXPECT_EQ(std::pair(Snapshot(dir / "game"), Snapshot(backup)), before);
    EXPECT_EQ(host.TakeLog(),
              (Texts{kCopyFailed, "Refresh", kCopyFailed, "Refresh",
                     "!!! 戻す前の控えをバックアップできなかったので、戻すのをやめました。"}));
}

// A copy in a folder it cannot write to keeps its files in the XDG folders,
// unless it already has a settings file there.
TEST_F(Robustness, AProgramInAReadOnlyFolderUsesTheXdgFolders) {
    const fs::path folder = dir / "ro";
    fs::create_directories(folder);
    MOUNT_OR_SKIP(disk, folder, "size=1m");
    ASSERT_TRUE(disk.Remount(MS_RDONLY));
    EXPECT_EQ(LocateProgramFiles(folder / "tsumugiya", {}).layout, Layout::Xdg);
    ASSERT_TRUE(disk.Remount(0));
    WriteFile(folder / "tsumugiya.ini", "");
    ASSERT_TRUE(disk.Remount(MS_RDONLY));
    EXPECT_EQ(LocateProgramFiles(folder / "tsumugiya", {}).layout, Layout::Portable);
}

// The writer appends whole records of one size, each in one write; each state
// it leaves is records 0, 1, 2, ... so a torn copy shows in size or content.
TEST_F(Robustness, BackupOfAGrowingSaveIsOneWholeStateOrRefused) {
    constexpr std::size_t kRecord = 64 << 10;
    const auto record = [](std::size_t i) { return std::string(kRecord, char('a' + i % 26)); };
    WriteFile(save, record(0));
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        std::ofstream out(save, std::ios::binary | std::ios::app);
        out.rdbuf()->pubsetbuf(nullptr, 0);  // unbuffered: one write call for each record
        for (std::size_t i = 1; !stop && i < 256; ++i) {
            stop = stop || !out.write(record(i).data(), kRecord);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    for (int i = 0; i < 10; ++i) {
        host.memo = std::to_string(i);
        commands.OnBackup();
    }
    stop = true;
    writer.join();
    host.memo = "still";  // at least one copy to judge, of the save at rest
    ASSERT_EQ(commands.OnBackup().result, Done);
    const std::string final = ReadFile(save).value_or("");
    for (const std::string& name : Names(backup)) {
        const std::string copy = ReadFile(backup / U8(name)).value_or("");
        EXPECT_TRUE(copy.size() % kRecord == 0 && final.starts_with(copy)) << name;
    }
}

// Each settings text gives either no save file or exactly the configured one.
TEST_F(Robustness, HostileSettingsGiveTheExactPathOrNone) {
    const std::string game = Utf8(dir / "game"), name = "\nfilename=slot1.dat\n";
    const std::string save = std::string(1, platform::kSeparator) + "slot1.dat";
    std::string garbage(64 << 10, '\0');  // bytes of every value, in no order
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<char>((i * 2654435761u) >> 24);
    }
    const std::pair<std::string, std::string> cases[] = {
        {"[SaveFile]\nfolder=" + game + name, game + save},
        {"[SaveFile]\r\nfolder=\"" + game + "\"\r\nfilename=\"slot1.dat\"\r\n", game + save},
        {"[SaveFile]\nfolder=" + game + "//" + name, game + "/" + save},  // one trimmed
        {"[SaveFile]\n;" + std::string(10 << 20, 'x') + "\nfolder=" + game + name, game + save},
        {"[SaveFile]\nfolder=" + game + "\nfilename=../../x\n", ""},
        {"[SaveFile]\nfolder=" + game + "\n", ""},
        {"folder=" + game + name, ""},
        {"", ""},
        {garbage, ""},
        {"[SaveFile]\nfolder=" + Abs("/") + std::string(platform::kMaxPathLength, 'a') + name, ""},
    };
    for (const auto& [settings, expected] : cases) {
        WriteFile(dir / "app/tsumugiya.ini", settings);
        locations.InitLocations(dir / "app/tsumugiya");
        EXPECT_EQ(Utf8(locations.SavePath()), expected) << settings.substr(0, 80);
    }
}

}  // namespace
