#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BackupCatalogue.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace tsumugiya;
using namespace tsumugiya::test;

namespace {

class BackupCatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override { locations.InitLocations(dir / "tsumugiya"); }

    void AddBackup(const std::string& name, std::int64_t time) {
        WriteFile(backup / name, name);
        SetModTime(backup / name, time);
    }
    static std::vector<std::string> Texts(const MemoryBackupList& list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list.Count(); ++i) {
            texts.push_back(list.Text(i));
        }
        return texts;
    }

    TempFolder dir;
    fs::path backup = dir / "backup";
    AppLocations locations;
    BackupCatalogue catalogue{locations};
    MemoryBackupList list;
};

TEST_F(BackupCatalogueTest, ListsNewestFirstAndSelectsOnlyTheNewest) {
    for (const auto& [name, time] : {std::pair{"s.dat.save.old", 1000},
                                     {"s.dat.save.b", 2000},
                                     {"s.dat.save.new", 3000},
                                     {"s.dat.save.a", 2000},
                                     {"s.dat.save.temp", 2500},
                                     {"DATA.save.x", 9000},
                                     {"notes.txt", 9000}}) {
        AddBackup(name, time);
    }
    // Entries without a save state of their own go last, without stopping the refresh.
    fs::create_directory(backup / "s.dat.save.dir");
    fs::create_symlink(dir / "nowhere", backup / "s.dat.save.link");
    for (int i = 0; i < 3; ++i) {
        list.Append("stale");
        list.Select(i);
    }
    catalogue.Refresh(list);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{
                               "s.dat.save.new", "s.dat.save.temp", "s.dat.save.a", "s.dat.save.b",
                               "s.dat.save.old", "s.dat.save.dir", "s.dat.save.link"}));
    EXPECT_EQ(list.SelectedIndices(10), std::vector<int>{0});

    fs::remove_all(backup);
    catalogue.Refresh(list);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.SelectedCount(), 0);
}

TEST_F(BackupCatalogueTest, SelectedPathsFollowListOrderUpToMax) {
    for (const char* text : {"a.save.1", "b.save.2", "c.save.3", "d.save.4"}) {
        list.Append(text);
    }
    EXPECT_TRUE(catalogue.SelectedPaths(list, 5).empty());
    list.Select(3);
    list.Select(1);
    list.Select(2);
    EXPECT_EQ(catalogue.SelectedPaths(list, 1), std::vector<fs::path>{backup / "b.save.2"});
    EXPECT_EQ(
        catalogue.SelectedPaths(list, 5),
        (std::vector<fs::path>{backup / "b.save.2", backup / "c.save.3", backup / "d.save.4"}));
}

TEST_F(BackupCatalogueTest, EntryTextNeverLeavesTheBackupFolder) {
    for (const char* text : {"../evil", "a/b", "..", ".", "/etc/passwd", "..ok.save.1"}) {
        list.Append(text);
        list.Select(list.Count() - 1);
    }
    EXPECT_EQ(catalogue.SelectedPaths(list, 10), std::vector<fs::path>{backup / "..ok.save.1"});
}

}  // namespace
