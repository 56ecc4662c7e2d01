#include <gtest/gtest.h>

#include "AppLocations.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using tsumugiya::AppLocations;
using namespace tsumugiya::test;
using Texts = std::vector<std::string>;

namespace {

class AppLocationsTest : public ::testing::Test {
  protected:
    // Start-up beside an executable named tsumugiya, with these settings if given.
    AppLocations Start(std::optional<std::string> settings = std::nullopt) {
        if (settings) {
            WriteFile(dir / "tsumugiya.ini", *settings);
        }
        AppLocations locations;
        locations.InitLocations(dir / "tsumugiya");
        return locations;
    }

    TempFolder dir;
    tsumugiya::platform::IoError error;
};

TEST_F(AppLocationsTest, LocationsFollowTheExecutable) {
    for (const auto& [exe, ini] : {std::pair{"/x/tsumugiya", "/x/tsumugiya.ini"},
                                   {"/x/other", "/x/other.ini"},
                                   {"/x/app.bin", "/x/app.ini"}}) {
        AppLocations locations;
        locations.InitSettingsPath(exe);
        EXPECT_EQ(locations.SettingsPath().string(), ini);
    }
    const AppLocations locations = Start();
    EXPECT_EQ(locations.SettingsPath(), dir / "tsumugiya.ini");
    EXPECT_EQ(locations.BackupFolder(), dir / "backup");
    EXPECT_TRUE(fs::is_directory(dir / "backup"));
    // No settings: no save file, and certainly not the root folder.
    EXPECT_EQ(locations.SaveFolder() + locations.SaveFileName(), "");
    EXPECT_TRUE(locations.SavePath().empty());
}

TEST_F(AppLocationsTest, ReadsHandWrittenSettings) {
    const struct {
        std::string settings, folder, path;
    } cases[] = {
        {"[SaveFile]\nfolder=/games/save\nfilename=slot1.dat\n", "/games/save",
         "/games/save/slot1.dat"},
        {"[SaveFile]\r\nfolder=/games/save\r\nfilename=slot1.dat\r\n", "/games/save",
         "/games/save/slot1.dat"},
        {"[SaveFile]\nfolder=\"/my games\"\nfilename=\"slot1.dat\"\n", "/my games",
         "/my games/slot1.dat"},
        {"[SaveFile]\nfolder=/games/save/\nfilename=slot1.dat\n", "/games/save",
         "/games/save/slot1.dat"},
        {"[SaveFile]\nfolder=/games//\nfilename=slot1.dat\n", "/games/", "/games//slot1.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        const AppLocations locations = Start(c.settings);
        EXPECT_EQ(locations.SaveFolder(), c.folder);
        EXPECT_EQ(locations.SaveFileName(), "slot1.dat");
        EXPECT_EQ(locations.SavePath().string(), c.path);
    }
}

TEST_F(AppLocationsTest, UnusableSettingsGiveNoSavePath) {
    for (const std::string& settings :
         {"[SaveFile]\nfolder=/games\nfilename=../../x\n"s,
          "[SaveFile]\nfolder=/g\nfilename=a/b\n"s, "[SaveFile]\nfolder=/games\nfilename=..\n"s,
          "[SaveFile]\nfolder=games\nfilename=x\n"s, "[SaveFile]\nfolder=/games\n"s, ""s,
          "\xff\xfe\0[Save\x80]\nfolder\x01=\x02/x\n"s}) {
        SCOPED_TRACE(settings);
        EXPECT_TRUE(Start(settings).SavePath().empty());
    }
    const AppLocations garbage = Start("\xff\xfe\0[SaveFile]\n\x80\x01=\x02/x\n"s);
    EXPECT_EQ(garbage.SaveFolder() + garbage.SaveFileName(), "");
}

TEST_F(AppLocationsTest, SetSaveFileTakesOnlyAbsoluteFilePaths) {
    AppLocations locations = Start();
    ASSERT_TRUE(locations.SetSaveFile("/slot1.dat"));
    EXPECT_EQ(locations.SaveFolder(), "");
    ASSERT_TRUE(locations.SaveSettings(error));
    EXPECT_EQ(Start().SavePath().string(), "/slot1.dat");

    ASSERT_TRUE(locations.SetSaveFile("/games/slot1.dat"));
    for (const char* path : {"", "slot1.dat", "games/slot1.dat", "/games/save/", "/",
                             "/games/slot\n1.dat", "/games\r/slot1.dat", "/games/..", "/a/\xff"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(locations.SetSaveFile(path));
        EXPECT_EQ(locations.SaveFolder(), "/games");
        EXPECT_EQ(locations.SaveFileName(), "slot1.dat");
        EXPECT_EQ(locations.SavePath(), "/games/slot1.dat");
    }
}

TEST_F(AppLocationsTest, SaveSettingsKeepsTheRestOfTheFile) {
    AppLocations locations = Start(
        "; by hand\n[Window]\nx=10\n"
        "[SaveFile]\n; last game\nfolder=/old\nfilename=old.dat\nkey=1\n");
    const std::string folder = (dir / "ゲーム データ").string();
    ASSERT_TRUE(locations.SetSaveFile(folder + "/スロット 1.dat"));
    ASSERT_TRUE(locations.SaveSettings(error)) << error.cause;

    const std::string text = ReadFile(dir / "tsumugiya.ini").value_or("");
    for (const std::string& kept :
         {"; by hand\n"s, "[Window]\nx=10\n"s, "; last game\n"s, "\nkey=1\n"s,
          "\nfolder=" + folder + "\n", "\nfilename=スロット 1.dat\n"s}) {
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " missing in\n" << text;
    }
    EXPECT_EQ(text.find("=/old\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("old.dat"), std::string::npos) << text;
    EXPECT_FALSE(text.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(EntryNames(dir.path()), (Texts{"backup", "tsumugiya.ini"}));
}

// Whatever name is written must come back unchanged, even one that looks like INI syntax.
TEST_F(AppLocationsTest, SettingsRoundTripAnyFileName) {
    const std::string folder = (dir / " ゲーム データ ").string();
    for (const char* name : {"スロット 1.dat", " lead", "trail ", "\"q\"", "\"", ";semi", "#hash",
                             "a=b", "[SaveFile]"}) {
        SCOPED_TRACE(name);
        AppLocations locations = Start();
        ASSERT_TRUE(locations.SetSaveFile(folder + "/" + name));
        ASSERT_TRUE(locations.SaveSettings(error)) << error.cause;
        const AppLocations reread = Start();
        EXPECT_EQ(reread.SaveFolder(), folder);
        EXPECT_EQ(reread.SaveFileName(), name);
        EXPECT_EQ(reread.SavePath().string(), folder + "/" + name);
    }
}

TEST_F(AppLocationsTest, FailedSaveSettingsLeavesNothingBehind) {
    AppLocations locations = Start();
    ASSERT_TRUE(locations.SetSaveFile("/games/slot1.dat"));
    // A folder in the way of the settings file cannot be replaced.
    fs::create_directories(dir / "tsumugiya.ini" / "inside");
    EXPECT_FALSE(locations.SaveSettings(error));
    EXPECT_EQ(EntryNames(dir.path()), (Texts{"backup", "tsumugiya.ini"}));
    EXPECT_EQ(EntryNames(dir / "tsumugiya.ini"), Texts{"inside"});
}

}  // namespace
