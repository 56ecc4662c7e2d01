// What the window adds to the automatic backups: the item in the background's
// menu, the mode in the title, and its event loop waking the watcher when the
// game writes. When a state is kept, and which, is the core's tests' business.

#include <algorithm>

#include "GuiDriver.h"
#include "Messages.h"
#include "support/StandInGame.h"

namespace tsumugiya::test {
namespace {

class AutoBackupMenuTest : public ::testing::Test, public DialogFixture {
  protected:
    void SetUp() override {
        WriteFile(saveFile, "current", 1700000000);
        WriteSettings(saveFile.parent_path().string(), "slot1.dat",
                      "[Hotkeys]\nsound=0\n[AutoBackup]\nsettle=0.2\n");
    }

    // The automatic backup that holds these bytes, once there is one.
    std::string KeptAs(const std::string& bytes) const {
        std::string kept;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                for (const std::string& name : Names(backups)) {
                    if (name.ends_with("_自動") && ReadFile(backups / name) == bytes) {
                        kept = name;
                    }
                }
                return !kept.empty();
            },
            3000));
        return kept;
    }
    std::string Title() const { return dialog->windowTitle().toStdString(); }
};

TEST_F(AutoBackupMenuTest, TheItemTurnsItOnTheTitleShowsItAndWhatTheGameWritesIsKept) {
    Open();
    EXPECT_EQ(Title(), "Tsumugiya");
    ASSERT_EQ(ChooseFromMenu(messages::kAutoBackupItem), false);
    EXPECT_EQ(Title(), "Tsumugiya [自動]");

    // The state at start of a save picked in another folder, which the
    // watch follows, once it has settled; then what the game writes there,
    // which only the descriptor's wake-up brings.
    const fs::path otherSave = folder / "game2" / "slot2.dat";
    fs::create_directory(otherSave.parent_path());
    WriteFile(otherSave, "second slot", 1700000000);
    dialog->AdoptSaveFile(QString::fromStdString(otherSave.string()));
    EXPECT_NE(KeptAs("second slot"), "");
    StandInGame{otherSave}.Write(GameWrite::RenamedOver, "after the boss");
    const std::string made = KeptAs("after the boss");
    ASSERT_NE(made, "");
    EXPECT_EQ(Title(), "Tsumugiya [自動] : " + made + " にバックアップ");
    EXPECT_TRUE(std::ranges::count(Listed(), made) || std::ranges::count(Listed(), "> " + made));

    // Off: the note runs its course, then the plain title has no mark.
    ASSERT_EQ(ChooseFromMenu(messages::kAutoBackupItem), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Title() == "Tsumugiya"; }, 3000)) << Title();
}

}  // namespace
}  // namespace tsumugiya::test
