// What the window adds to the hotkeys: the dialog that edits them, the keys
// it takes from the desktop after a change, and what it says where the
// desktop gives none. What a key does, and the keys taken at start, are the
// core's tests' business; the keys on a real display, the smoke test's
// (xvfb-smoke.sh).

#include <QCheckBox>
#include <QKeySequenceEdit>

#include "CHotkeysDlg.h"
#include "GuiDriver.h"
#include "Messages.h"

namespace tsumugiya::test {
namespace {

using namespace ui;

class HotkeysDialogTest : public ::testing::Test, public DialogFixture {
  protected:
    void SetUp() override {
        WriteFile(saveFile, "current", 1700000000);
        WriteSettings(saveFile.parent_path().string(), "slot1.dat", "[Hotkeys]\nsound=0\n");
    }

    // Opens the hotkeys dialog from the background's menu and has answer
    // work it; false when it never opened.
    bool OpenHotkeys(std::function<void(CHotkeysDlg&)> answer) {
        bool opened = false;
        Answerer<CHotkeysDlg> answerer([&](CHotkeysDlg& hotkeys) {
            if (!opened) {
                opened = true;
                answer(hotkeys);
            }
        });
        ChooseFromMenu(messages::kHotkeysDialogTitle);
        return opened;
    }

    static QKeySequenceEdit& KeyEdit(CHotkeysDlg& hotkeys, int id) {
        return dynamic_cast<QKeySequenceEdit&>(*hotkeys.Control(id));
    }
    static std::string Shown(CHotkeysDlg& hotkeys, int id) {
        return KeyEdit(hotkeys, id).keySequence().toString().toStdString();
    }
    static void Click(CHotkeysDlg& hotkeys, int id) {
        QTest::mouseClick(hotkeys.Control(id), Qt::LeftButton);
    }
};

TEST_F(HotkeysDialogTest, ShowsTheSettingsWritesWhatItShowsAndTheNewKeyIsTakenTheOldLetGo) {
    Open();
    // The keys shown are checked on the second opening, after a change.
    ASSERT_TRUE(OpenHotkeys([](CHotkeysDlg& hotkeys) {
        EXPECT_TRUE(dynamic_cast<QCheckBox&>(*hotkeys.Control(kIdHotkeysOn)).isChecked());
        EXPECT_FALSE(dynamic_cast<QCheckBox&>(*hotkeys.Control(kIdHotkeySound)).isChecked());
        // Typed as a player would; a second chord replaces the first.
        QKeySequenceEdit& backup = KeyEdit(hotkeys, kIdHotkeyBackup);
        backup.setFocus();
        QTest::keyClick(&backup, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&backup, Qt::Key_PageUp, Qt::ControlModifier | Qt::AltModifier);
        EXPECT_EQ(Shown(hotkeys, kIdHotkeyBackup), "Ctrl+Alt+PgUp");
        KeyEdit(hotkeys, kIdHotkeyQuick).clear();
        Click(hotkeys, kIdHotkeySound);
        Click(hotkeys, kIdHotkeysOk);
    }));

    // How the settings are written is the core's business; here, that the
    // box ticked reached them.
    const std::string settings = ReadFile(folder / "tsumugiya.ini").value_or("");
    EXPECT_TRUE(ReadHotkeySettings(settings).sound) << settings;
    const HotkeyBindings changed{{HotkeyAction::Backup, {kModCtrl | kModAlt, "PgUp"}},
                                 {HotkeyAction::Restore, {kModCtrl, "F9"}}};
    EXPECT_EQ(keys.grabbed, changed);

    ASSERT_TRUE(OpenHotkeys([](CHotkeysDlg& hotkeys) {
        EXPECT_EQ(Shown(hotkeys, kIdHotkeyBackup), "Ctrl+Alt+PgUp");
        EXPECT_EQ(Shown(hotkeys, kIdHotkeyQuick), "");
        Click(hotkeys, kIdHotkeysCancel);
    }));
    EXPECT_EQ(ReadFile(folder / "tsumugiya.ini"), settings);
}

TEST_F(HotkeysDialogTest, AKeyWithoutCtrlAltOrMetaIsSaidAndTheDialogStaysOpen) {
    Open();
    keys.grabbed.clear();  // any grab from here on shows
    const std::string settings = ReadFile(folder / "tsumugiya.ini").value_or("");
    Boxes boxes(QMessageBox::Ok);
    ASSERT_TRUE(OpenHotkeys([&](CHotkeysDlg& hotkeys) {
        QKeySequenceEdit& restore = KeyEdit(hotkeys, kIdHotkeyRestore);
        restore.setFocus();
        QTest::keyClick(&restore, Qt::Key_F9, Qt::ShiftModifier);
        Click(hotkeys, kIdHotkeysOk);
        EXPECT_TRUE(hotkeys.isVisible());
        Click(hotkeys, kIdHotkeysCancel);
    }));
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith(QStringLiteral("戻す: Shift+F9\n")))
        << boxes.texts[0].toStdString();
    EXPECT_EQ(keys.grabbed, HotkeyBindings{});
    EXPECT_EQ(ReadFile(folder / "tsumugiya.ini"), settings);
}

// Said once at start; with the hotkeys off there is nothing to say.
TEST_F(HotkeysDialogTest, WhereTheDesktopGivesNoKeysTheStartSaysToUseItsShortcuts) {
    Boxes boxes(QMessageBox::Ok);
    for (const char* hotkeys : {"[Hotkeys]\n", "[Hotkeys]\nenabled=0\n"}) {
        WriteSettings(saveFile.parent_path().string(), "slot1.dat", hotkeys);
        dialog = std::make_unique<CTsumugiya_Dlg>(locations, folder / "tsumugiya", nullptr,
                                                  [](GlobalKeys::Events) { return nullptr; });
        dialog->show();
        QTest::qWait(200);
    }
    EXPECT_EQ(boxes.texts, QStringList{QString::fromUtf8(messages::kHotkeysNeedDesktopShortcut)});
}

}  // namespace
}  // namespace tsumugiya::test
