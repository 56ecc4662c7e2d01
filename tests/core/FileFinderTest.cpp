#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "FileFinder.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using tsumugiya::CFileFinder;
using tsumugiya::FindRecord;
using namespace tsumugiya::test;
using Texts = std::vector<std::string>;

namespace {

std::set<std::string> Found(CFileFinder& finder, std::optional<std::string_view> pattern) {
    std::set<std::string> names;
    std::string name;
    FindRecord record;
    for (bool more = finder.FindFirst(name, record, pattern); more;
         more = finder.FindNext(name, record)) {
        names.insert(name);
    }
    finder.Close();
    return names;
}

TEST(FileFinderTest, MatchesBackupPatternIgnoringCase) {
    TempFolder dir;
    for (const char* name :
         {"a.dat.save.1", "A.DAT.SAVE.x", "DATA.save.x", "b.dat.save", "c.txt"}) {
        WriteFile(dir / name, "12345");
    }
    CFileFinder finder(dir.path());
    EXPECT_EQ(Found(finder, "*.save.*"), (std::set<std::string>{"a.dat.save.1", "A.DAT.SAVE.x"}));
    EXPECT_EQ(Found(finder, std::nullopt).size(), 5u);

    std::string name = "untouched";
    FindRecord record;
    EXPECT_FALSE(finder.FindFirst(name, record, "none"));
    EXPECT_FALSE(CFileFinder(dir / "missing").FindFirst(name, record));
    EXPECT_EQ(name, "untouched");
    ASSERT_TRUE(finder.FindFirst(name, record, "txt"));
    EXPECT_EQ(name, "c.txt");
    EXPECT_EQ(record.name, "c.txt");
    EXPECT_EQ(record.size, 5u);
    EXPECT_FALSE(record.isDirectory);
    EXPECT_FALSE(finder.FindNext(name, record));
}

TEST(FileFinderTest, ExistsAndCreateFolder) {
    TempFolder dir;
    WriteFile(dir / "file", "");
    EXPECT_TRUE(CFileFinder(dir.path()).Exists());
    EXPECT_FALSE(CFileFinder(dir / "file").Exists());
    EXPECT_FALSE(CFileFinder(dir / "missing").Exists());
    EXPECT_FALSE(CFileFinder().Exists());

    CFileFinder made(dir / "made");
    EXPECT_TRUE(made.CreateFolder());
    EXPECT_TRUE(made.Exists());
    EXPECT_FALSE(made.CreateFolder());
    EXPECT_FALSE(CFileFinder(dir / "no" / "parent").CreateFolder());
}

TEST(FileFinderTest, SweepsCountAndSizeFilesOnly) {
    // Sparse files: 5 GiB costs no disk space and overflows any 32-bit total.
    const struct {
        std::uint64_t bytes, kb, mb;
    } cases[] = {{0, 0, 0},
                 {1, 1, 1},
                 {1024, 1, 1},
                 {1025, 2, 1},
                 {1048576, 1024, 1},
                 {1048577, 1025, 2},
                 {5ull << 30, 5ull << 20, 5ull << 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        TempFolder dir;
        WriteFile(dir / "f.bin", "");
        ASSERT_EQ(::truncate((dir / "f.bin").c_str(), static_cast<off_t>(c.bytes)), 0);
        WriteFile(dir / "other.txt", "12");
        fs::create_directory(dir / "folder.bin");
        CFileFinder finder(dir.path());
        EXPECT_EQ(finder.CountFiles("bin"), 1u);
        EXPECT_EQ(finder.CountFiles(std::nullopt), 2u);
        EXPECT_EQ(finder.TotalBytes("bin"), c.bytes);
        EXPECT_EQ(finder.TotalBytes(std::nullopt), c.bytes + 2);
        EXPECT_EQ(finder.TotalKB("bin"), c.kb);
        EXPECT_EQ(finder.TotalMB("bin"), c.mb);
    }
}

TEST(FileFinderTest, DeleteMatchingNeedsALongerNameWithTheSuffix) {
    TempFolder dir;
    for (const char* name : {"a.bak", "b.bak", ".bak", "C.BAK", "x.bak.txt"}) {
        WriteFile(dir / name, "");
    }
    fs::create_directory(dir / "sub");
    WriteFile(dir / "sub" / "keep.bak", "");
    CFileFinder finder(dir.path());
    EXPECT_TRUE(finder.DeleteMatching(".bak"));
    EXPECT_EQ(EntryNames(dir.path()), (Texts{".bak", "C.BAK", "sub", "x.bak.txt"}));
    EXPECT_TRUE(finder.DeleteAll());
    EXPECT_EQ(EntryNames(dir.path()), Texts{"sub"});
    EXPECT_EQ(EntryNames(dir / "sub"), Texts{"keep.bak"});
    EXPECT_FALSE(CFileFinder().DeleteAll());
}

}  // namespace
