#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "FilePath.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using tsumugiya::CFilePath;
using Part = std::optional<std::string>;

namespace {

struct SplitCase {
    const char* full;
    Part directory, fileName, baseName, extension;
};

TEST(FilePathTest, SplitsIntoParts) {
    const Part none;
    const SplitCase cases[] = {
        {"/games/save/slot1.dat", "/games/save", "slot1.dat", "slot1", "dat"},
        {"/tool/app.exe", "/tool", "app.exe", "app", "exe"},
        {"save.dat", none, "save.dat", "save", "dat"},
        {"/data/README", "/data", "README", "README", none},
        {"/data/.profile", "/data", ".profile", none, "profile"},
        {"/data/name.", "/data", "name.", "name", none},
        {"/file.txt", none, "file.txt", "file", "txt"},
        {"README", none, "README", "README", none},
        // A dot in a folder name never reaches into the file name.
        {"/data.old/README", "/data.old", "README", "README", none},
        // Only "/" separates here; a backslash is part of the name.
        {"C:\\games\\slot1.dat", none, "C:\\games\\slot1.dat", "C:\\games\\slot1", "dat"},
        {"/a\\b/c\\d.e", "/a\\b", "c\\d.e", "c\\d", "e"},
        {"/ゲーム/城の前.セーブ", "/ゲーム", "城の前.セーブ", "城の前", "セーブ"},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.full);
        const CFilePath path(c.full);
        EXPECT_EQ(path.GetFull(), Part(c.full));
        EXPECT_EQ(path.GetDirectory(), c.directory);
        EXPECT_EQ(path.GetFileName(), c.fileName);
        EXPECT_EQ(path.GetBaseName(), c.baseName);
        EXPECT_EQ(path.GetExtension(), c.extension);
    }
}

TEST(FilePathTest, TrailingSeparatorHasNoFileName) {
    const CFilePath path("/data/");
    EXPECT_EQ(path.GetDirectory(), Part("/data"));
    EXPECT_EQ(path.GetFileName(), std::nullopt);
    EXPECT_EQ(path.GetExtension(), std::nullopt);
}

TEST(FilePathTest, SetForgetsThePreviousPath) {
    CFilePath path("/games/slot1.dat");
    path.Set("README");
    EXPECT_EQ(path.GetDirectory(), std::nullopt);
    EXPECT_EQ(path.GetExtension(), std::nullopt);
    EXPECT_EQ(path.GetBaseName(), Part("README"));
    path.Clear();
    EXPECT_EQ(path.GetFull(), std::nullopt);
    EXPECT_EQ(path.GetFileName(), std::nullopt);
}

TEST(FilePathTest, ExistsForAnyDirectoryEntry) {
    tsumugiya::test::TempFolder dir;
    tsumugiya::test::WriteFile(dir / "plain", "x");
    tsumugiya::test::WriteFile(dir / "locked", "x");
    ::chmod((dir / "locked").c_str(), 0);
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    tsumugiya::test::MakeSocket(dir / "socket");
    fs::create_directory(dir / "folder");
    for (const char* name : {"plain", "locked", "dangling", "socket", "folder"}) {
        EXPECT_TRUE(CFilePath((dir / name).string()).Exists()) << name;
    }
    EXPECT_FALSE(CFilePath((dir / "missing").string()).Exists());
    EXPECT_FALSE(CFilePath((dir / "nowhere" / "x").string()).Exists());
    EXPECT_FALSE(CFilePath().Exists());
    EXPECT_FALSE(CFilePath("").Exists());
}

}  // namespace
