#include <gtest/gtest.h>
#include <sys/stat.h>

#include "BackupCommands.h"
#include "Messages.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace tsumugiya;
using namespace tsumugiya::test;
using Texts = std::vector<std::string>;

namespace {

constexpr std::int64_t kTimeA = 1678042868;  // 2023-03-05 19:01:08 UTC
constexpr std::int64_t kTimeB = 1700000000;
const std::string kNameA = "slot1.dat.save.2023年03月05日19時01分08秒_城の前";

class BackupCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        locations.InitLocations(dir / "tsumugiya");
        fs::create_directory(dir / "game");
        SetSave("state A", kTimeA);
        ASSERT_TRUE(locations.SetSaveFile(save.string()));
        host.memo = "城の前";
    }
    void SetSave(std::string_view content, std::int64_t time) {
        WriteFile(save, content);
        SetModTime(save, time);
    }
    // Backs state A up as kNameA (listed and selected), then moves on to state B.
    void BackUpAThenChangeToB() {
        ASSERT_EQ(commands.OnBackup(), CommandResult::Done);
        SetSave("state B", kTimeB);
        host.TakeLog();
    }
    void ExpectSave(std::string_view content, std::int64_t time) {
        EXPECT_EQ(ReadFile(save), content);
        EXPECT_EQ(ModTime(save), time);
    }

    ScopedTimeZone zone{"UTC0"};
    TempFolder dir;
    fs::path backup = dir / "backup";
    fs::path save = dir / "game" / "slot1.dat";
    fs::path safety = dir / "game" / "slot1.dat.s";
    AppLocations locations;
    FakeHost host{locations};
    BackupCommands commands{locations, host};
};

TEST_F(BackupCommandsTest, BackupCopiesWithTheSaveFilesTimeUnderANewName) {
    EXPECT_EQ(commands.OnBackup(), CommandResult::Done);
    EXPECT_EQ(host.TakeLog(),
              (Texts{"Status slot1.dat.save.2023年03月05日19時01分08秒_城の前 にバックアップ",
                     "Refresh"}));
    EXPECT_EQ(ReadFile(backup / kNameA), "state A");
    EXPECT_EQ(ModTime(backup / kNameA), kTimeA);

    EXPECT_EQ(commands.OnBackup(), CommandResult::Failed);
    EXPECT_EQ(host.TakeLog(), Texts{"Tell 同じ名前のファイルがあります。"});

    host.memo = "";
    EXPECT_EQ(commands.OnBackup(), CommandResult::Done);
    EXPECT_EQ(EntryNames(backup), (Texts{"slot1.dat.save.2023年03月05日19時01分08秒_", kNameA}));
}

TEST_F(BackupCommandsTest, BackupRefusesAnyEntryInTheWay) {
    fs::create_symlink(dir / "target", backup / kNameA);
    EXPECT_EQ(commands.OnBackup(), CommandResult::Failed);
    EXPECT_FALSE(fs::exists(dir / "target"));  // not written through the link
    fs::remove(backup / kNameA);
    WriteFile(backup / kNameA, "locked");
    ::chmod((backup / kNameA).c_str(), 0);
    EXPECT_EQ(commands.OnBackup(), CommandResult::Failed);
    fs::remove(backup / kNameA);
    MakeSocket(backup / kNameA);
    EXPECT_EQ(commands.OnBackup(), CommandResult::Failed);
    EXPECT_EQ(host.TakeLog(), Texts(3, "Tell " + std::string(messages::kNameTaken)));
    EXPECT_EQ(EntryNames(backup), Texts{kNameA});
}

TEST_F(BackupCommandsTest, BackupWithUnusableMemoFails) {
    for (const std::string& memo : Texts{"a/b", "a\nb", std::string(300, 'x'), "\xff"}) {
        host.memo = memo;
        EXPECT_EQ(commands.OnBackup(), CommandResult::Failed);
        EXPECT_EQ(host.TakeLog(),
                  (Texts{"Tell !!! セーブファイルのコピーに失敗しました。", "Refresh"}));
    }
    EXPECT_TRUE(EntryNames(backup).empty());
}

TEST_F(BackupCommandsTest, FixedNameBackupOverwritesSilently) {
    EXPECT_EQ(commands.OnFixedNameBackup(), CommandResult::Done);
    SetSave("state B", kTimeB);
    EXPECT_EQ(commands.OnFixedNameBackup(), CommandResult::Done);
    EXPECT_EQ(ReadFile(backup / "slot1.dat.save.temp"), "state B");
    EXPECT_EQ(ModTime(backup / "slot1.dat.save.temp"), kTimeB);
    const Texts once{"Status slot1.dat.save.temp にバックアップ", "Refresh"};
    EXPECT_EQ(host.TakeLog(), (Texts{once[0], once[1], once[0], once[1]}));
}

TEST_F(BackupCommandsTest, FailedCopiesLeaveNoTemporaryFile) {
    fs::create_directories(backup / "slot1.dat.save.temp" / "inside");
    EXPECT_EQ(commands.OnFixedNameBackup(), CommandResult::Failed);
    EXPECT_EQ(EntryNames(backup), Texts{"slot1.dat.save.temp"});
    fs::remove_all(backup);
    EXPECT_EQ(commands.OnBackup(), CommandResult::Failed);
    EXPECT_EQ(EntryNames(dir.path()), Texts{"game"});
    const Texts once{"Tell " + std::string(messages::kBackupCopyFailed), "Refresh"};
    EXPECT_EQ(host.TakeLog(), (Texts{once[0], once[1], once[0], once[1]}));
}

TEST_F(BackupCommandsTest, BackupNeedsASaveFile) {
    AppLocations unchosen;
    unchosen.InitLocations(dir / "tsumugiya");
    EXPECT_EQ(BackupCommands(unchosen, host).OnBackup(), CommandResult::Failed);
    EXPECT_EQ(BackupCommands(unchosen, host).OnFixedNameBackup(), CommandResult::Failed);
    EXPECT_EQ(messages::FileErrorReport(host.lastFileError), "セーブファイルが選ばれていません。");
    fs::remove(save);
    EXPECT_EQ(commands.OnBackup(), CommandResult::Failed);
    EXPECT_EQ(commands.OnFixedNameBackup(), CommandResult::Failed);
    EXPECT_EQ(host.TakeLog(), (Texts{"FileError ", "FileError ", "FileError " + save.string(),
                                     "FileError " + save.string()}));
    EXPECT_TRUE(EntryNames(backup).empty());
}

TEST_F(BackupCommandsTest, RestoreKeepsASafetyCopyFirst) {
    BackUpAThenChangeToB();
    host.answers = {false, true};
    EXPECT_EQ(commands.OnRestore(), CommandResult::Cancelled);
    ExpectSave("state B", kTimeB);
    EXPECT_FALSE(fs::exists(safety));
    EXPECT_EQ(commands.OnRestore(), CommandResult::Done);
    ExpectSave("state A", kTimeA);
    EXPECT_EQ(ReadFile(safety), "state B");
    EXPECT_EQ(ModTime(safety), kTimeB);
    EXPECT_EQ(host.TakeLog(), (Texts{"Ask 元のセーブファイルを上書きしていいですか？",
                                     "Ask 元のセーブファイルを上書きしていいですか？",
                                     "Status  選択ファイルをロード"}));
    host.confirm = false;
    EXPECT_EQ(commands.OnRestore(), CommandResult::Done);
    EXPECT_EQ(host.TakeLog(), Texts{"Status " + std::string(messages::kRestored)});
    // The restored state keeps its own time, so its backup name is taken.
    EXPECT_EQ(commands.OnBackup(), CommandResult::Failed);
}

TEST_F(BackupCommandsTest, RestoreAndDeleteNeedTheRightSelection) {
    BackUpAThenChangeToB();
    ASSERT_EQ(commands.OnFixedNameBackup(), CommandResult::Done);
    host.SelectOnly({kNameA, "slot1.dat.save.temp"});
    host.TakeLog();
    EXPECT_EQ(commands.OnRestore(), CommandResult::Failed);
    EXPECT_EQ(host.TakeLog(), Texts{"Tell !!! 複数のファイルは選択できません。"});
    host.SelectOnly({});
    EXPECT_EQ(commands.OnRestore(), CommandResult::NothingToDo);
    EXPECT_EQ(commands.OnDelete(), CommandResult::NothingToDo);
    EXPECT_TRUE(host.TakeLog().empty());
    ExpectSave("state B", kTimeB);
    EXPECT_EQ(EntryNames(backup).size(), 2u);
}

TEST_F(BackupCommandsTest, RestoreOverAMissingSaveFileProceeds) {
    BackUpAThenChangeToB();
    fs::remove(save);
    host.confirm = false;
    EXPECT_EQ(commands.OnRestore(), CommandResult::Done);
    ExpectSave("state A", kTimeA);
    EXPECT_FALSE(fs::exists(safety));
}

TEST_F(BackupCommandsTest, RestoreStopsWhenNoSafetyCopyCanBeMade) {
    BackUpAThenChangeToB();
    fs::create_directories(safety / "inside");
    host.confirm = false;
    EXPECT_EQ(commands.OnRestore(), CommandResult::Failed);
    const Texts log = host.TakeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].starts_with("Tell " + std::string(messages::kSafetyCopyFailed))) << log[0];
    ExpectSave("state B", kTimeB);
    EXPECT_EQ(EntryNames(dir / "game"), (Texts{"slot1.dat", "slot1.dat.s"}));
}

TEST_F(BackupCommandsTest, RestoreWithoutSaveFileChosenFails) {
    BackUpAThenChangeToB();
    AppLocations unchosen;
    unchosen.InitLocations(dir / "tsumugiya");
    host.confirm = false;
    EXPECT_EQ(BackupCommands(unchosen, host).OnRestore(), CommandResult::Failed);
    EXPECT_EQ(host.TakeLog(), Texts{"Tell !!! 01: セーブファイルのコピーに失敗しました。"});
    ExpectSave("state B", kTimeB);
}

TEST_F(BackupCommandsTest, DeleteAsksAndRefreshesEvenWhenCancelled) {
    BackUpAThenChangeToB();
    ASSERT_EQ(commands.OnFixedNameBackup(), CommandResult::Done);
    host.SelectOnly({kNameA, "slot1.dat.save.temp"});
    host.TakeLog();
    host.answers = {false, true};
    EXPECT_EQ(commands.OnDelete(), CommandResult::Cancelled);
    EXPECT_EQ(EntryNames(backup).size(), 2u);
    EXPECT_EQ(host.list.SelectedIndices(5), std::vector<int>{0});
    host.SelectOnly({kNameA, "slot1.dat.save.temp"});
    EXPECT_EQ(commands.OnDelete(), CommandResult::Done);
    EXPECT_TRUE(EntryNames(backup).empty());
    const Texts once{"Ask 削除していいですか？", "Refresh"};
    EXPECT_EQ(host.TakeLog(), (Texts{once[0], once[1], once[0], once[1]}));
}

TEST_F(BackupCommandsTest, DeleteRemovesALinkNotItsTarget) {
    fs::create_symlink(save, backup / "linked.dat.save.1");
    host.ShowCatalogue();
    host.answers = {true};
    EXPECT_EQ(commands.OnDelete(), CommandResult::Done);
    EXPECT_TRUE(EntryNames(backup).empty());
    ExpectSave("state A", kTimeA);
}

}  // namespace
