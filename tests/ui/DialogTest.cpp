// The window end to end: clicks on the real controls, files on disk, answers
// to the real message boxes, file dialog and hotkeys dialog. What the
// commands decide is the core's tests' business; these check what the window
// adds to them.

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHelpEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolTip>
#include <QUrl>

#include "CAboutDlg.h"
#include "CHotkeysDlg.h"
#include "GuiDriver.h"
#include "Messages.h"
#include "Resources.h"
#include "support/StandInGame.h"

namespace tsumugiya::test {
namespace {

using namespace ui;

constexpr std::int64_t kSaveTime = 1700000000;  // 2023年11月14日22時13分20秒 UTC
const std::string kSaveStamp = "slot1.dat.save.2023年11月14日22時13分20秒_";
const std::string kOldest = "slot1.dat.save.2023年11月01日09時00分00秒_城の前";
const std::string kMiddle = "slot1.dat.save.2023年11月03日08時26分40秒_ボス戦";
const std::string kNewest = "slot1.dat.save.2023年11月09日03時20分00秒_二周目";

class DialogTest : public ::testing::Test, public DialogFixture {
  protected:
    void SetUp() override {
        WriteFile(saveFile, "current", kSaveTime);
        WriteSettings(saveFile.parent_path().string(), "slot1.dat");
        WriteFile(backups / kMiddle, "middle", 1699000000);
        WriteFile(backups / kOldest, "oldest", 1698829200);
        WriteFile(backups / kNewest, "newest", 1699500000);
    }
};

class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST_F(DialogTest, StartsReadyThenClearsTheMemoBacksUpAndShowsTheFolder) {
    Open();
    EXPECT_EQ(Listed(), (Texts{"> " + kNewest, kMiddle, kOldest}));
    EXPECT_EQ(Get<QLabel>(kIdSavePath).text().toStdString(), saveFile.string());
    // Enter at start, and the title it shows, are the smoke test's (xvfb-smoke.sh).
    Get<QLineEdit>(kIdMemo).insert(QStringLiteral("城の前"));
    Click(kIdClearMemo);
    Click(kIdBackup);  // what a backup holds is the core's tests' business
    EXPECT_EQ(Listed()[0], "> " + kSaveStamp);
    Click(kIdFixedNameBackup);
    EXPECT_EQ(ReadFile(backups / "slot1.dat.save.temp"), "current");

    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    Click(kIdOpenFolder);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0].toLocalFile().toStdString(), backups.string());
}

// What the window adds to a restore (the commands' own story, and what the
// question names, are the core's tests'): the confirm box and its answer, the
// restored entry still selected when the list gains the kept state, and the
// warning about another save's backup even with the confirm box unticked.
TEST_F(DialogTest, RestoreAsksKeepsTheSelectionAndWarnsOfAnotherSavesBackup) {
    Open();
    ClickRow(2);  // the oldest
    {
        Boxes boxes(QMessageBox::Cancel);
        Click(kIdRestore);
        EXPECT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(ReadFile(saveFile), "current");
    }
    {
        Boxes boxes(QMessageBox::Ok);
        Click(kIdRestore);
        EXPECT_EQ(ReadFile(saveFile), "oldest");
    }
    Click(kIdConfirmOnRestore);  // ticked at start; now no more questions
    Boxes boxes(QMessageBox::Cancel);
    ClickRow(1);  // the middle
    Click(kIdRestore);
    EXPECT_EQ(boxes.texts, QStringList());
    EXPECT_EQ(Listed(), (Texts{kSaveStamp + "戻す前", kNewest, "> " + kMiddle, kOldest}));
    // A refresh selects the newest state the player kept, not the one the
    // restore kept on its own or another save's.
    const std::string other = "slot2.dat.save.2023年11月20日00時00分00秒_";
    WriteFile(backups / other, "slot 2", 1700438400);
    Click(kIdRefresh);
    EXPECT_EQ(Listed(), (Texts{other, kSaveStamp + "戻す前", "> " + kNewest, kMiddle, kOldest}));
    ClickRow(0);
    Click(kIdRestore);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].contains(QString::fromStdString(other)));
    EXPECT_TRUE(boxes.texts[0].contains(QString::fromStdString(saveFile.string())));
    EXPECT_TRUE(boxes.buttons.contains(QStringLiteral("キャンセル")))
        << boxes.buttons.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(ReadFile(saveFile), "middle");
}

TEST_F(DialogTest, DeleteTakesEverySelectedByItsBytesAndNamesWhatCouldNotGo) {
    // Shown as the look-alike's name, the broken one must still be deleted itself.
    const std::string broken = "slot1.dat.save.\xff_x";
    const std::string lookalike = "slot1.dat.save.\xef\xbf\xbd_x";
    WriteFile(backups / broken, "broken", 1699900000);
    WriteFile(backups / lookalike, "lookalike", 1600000000);
    const fs::path stuck = backups / "slot1.dat.save.folder";  // not empty: cannot go
    fs::create_directories(stuck / "in");
    Open();
    ClickRow(0);
    ClickRow(3, Qt::ControlModifier);  // the oldest
    ClickRow(5, Qt::ControlModifier);  // the folder, without a file time, last
    Boxes boxes(QMessageBox::Ok);
    Click(kIdDelete);
    EXPECT_EQ(Names(backups), (Texts{kMiddle, kNewest, "slot1.dat.save.folder", lookalike}));
    ASSERT_EQ(boxes.texts.size(), 2);  // the question, then what failed with its cause
    EXPECT_TRUE(boxes.texts[1].startsWith(QStringLiteral("!!! 削除できなかった")));
    const QString named = QString::fromStdString("\n" + stuck.string() + ": ");
    ASSERT_TRUE(boxes.texts[1].contains(named)) << boxes.texts[1].toStdString();
    EXPECT_FALSE(boxes.texts[1].endsWith(named));
}

TEST_F(DialogTest, FailuresNameTheFileAndTheCauseAsPlainText) {
    const fs::path odd = folder / "<b>odd</b>";  // markup must show as it is (Boxes)
    fs::create_directories(odd);
    WriteSettings(odd.string(), "slot1.dat");
    Open();
    Boxes boxes(QMessageBox::Ok);
    Click(kIdBackup);
    ASSERT_EQ(boxes.texts.size(), 1);
    const QStringList lines = boxes.texts[0].split(QLatin1Char('\n'));
    // The file, then the cause in whatever language.
    EXPECT_EQ(std::tuple(lines.size(), lines[0].contains(QString::fromStdString(odd / "slot1.dat")),
                         lines.back().isEmpty()),
              std::tuple(2, true, false))
        << boxes.texts[0].toStdString();

    // Settings that cannot be written are said at the end, not lost quietly.
    fs::remove(folder / "tsumugiya.ini");
    fs::create_directory(folder / "tsumugiya.ini");
    dialog->reject();
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(boxes.texts[1].contains(QString::fromStdString(folder / "tsumugiya.ini")));
}

TEST_F(DialogTest, WhatIsWrongAtStartIsSaidOnceAndUnusableSettingsStay) {
    WriteSettings("game/", "slot1.dat");  // not absolute
    const fs::path settings = folder / "tsumugiya.ini";
    const auto settingsBefore = ReadFile(settings);
    fs::remove_all(backups);
    WriteFile(backups, "a file where the folder should be");
    Boxes boxes(QMessageBox::Ok);
    dialog = std::make_unique<CTsumugiya_Dlg>(locations, folder / "tsumugiya");
    dialog->show();  // not Open(): the box comes up before the window is active
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.isEmpty(); }, 2000));
    // The file's problem (its words are the core's) with the file to look
    // at, then the folder's.
    const QStringList lines = boxes.texts[0].split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 4) << boxes.texts[0].toStdString();
    EXPECT_EQ(std::tuple(lines[1].toStdString(),
                         lines[3].startsWith(QStringLiteral("!!! バックアップフォルダー")),
                         boxes.texts[0].contains(QString::fromStdString(backups))),
              std::tuple(settings.string(), true, true))
        << boxes.texts[0].toStdString();
    EXPECT_TRUE(Get<QLabel>(kIdSavePath).text().isEmpty());

    dialog->close();
    EXPECT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(ReadFile(settings), settingsBefore);  // not even the slash taken off
}

TEST_F(DialogTest, EveryOrderlyEndWritesTheSettingsUnlessChosenElsewhere) {
    const fs::path settings = folder / "tsumugiya.ini";
    const std::function<void()> ends[] = {
        [&] { QTest::keyClick(dialog.get(), Qt::Key_Escape); },
        [&] {  // Enter outside a button is the hidden default button's
            Get<QLineEdit>(kIdMemo).setFocus();
            QTest::keyClick(&Get<QLineEdit>(kIdMemo), Qt::Key_Return);
        },
        [&] { dialog->close(); }};
    for (const auto& end : ends) {
        Open();
        fs::remove(settings);
        end();
        // What is written is the core's tests' business.
        EXPECT_EQ(std::pair(dialog->isVisible(), fs::exists(settings)), std::pair(false, true));
    }

    // tsumugiya-cli use chose another save while the window was open.
    Open();
    WriteSettings("/elsewhere", "slot9.dat");
    const auto chosenElsewhere = ReadFile(settings);
    dialog->close();
    EXPECT_EQ(ReadFile(settings), chosenElsewhere);
}

TEST_F(DialogTest, PickingASaveFileAsksForANewNameAndTakesNoLookAlike) {
    Open();
    const fs::path other = folder / "game" / "slot2.dat";  // does not exist
    // Typed into the name field, as a user names a file not there yet;
    // selectFile() leaves the field alone while it has the focus.
    QString nameLabel;
    Answerer<QFileDialog> picker([&](QFileDialog& files) {
        files.setDirectory(QString::fromStdString(other.parent_path().string()));
        nameLabel = files.findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text();
        files.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QString::fromStdString(other.filename().string()));
        static_cast<QDialog&>(files).accept();  // protected in QFileDialog
    });
    Boxes boxes(QMessageBox::Ok);  // yes, that name
    Click(kIdSelectSaveFile);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith(QString::fromStdString(other.string())));
    EXPECT_EQ(nameLabel, QStringLiteral("ファイル名(&N):"));  // in the program's language
    EXPECT_EQ(locations.SavePath(), other);
    EXPECT_EQ(Get<QLabel>(kIdSavePath).toolTip().toStdString(), other.string());
    EXPECT_FALSE(fs::exists(other));
    // Nor do the toolkit's dialogs leave their own settings in the home folder.
    EXPECT_EQ(Names(::getenv("XDG_CONFIG_HOME")), Texts{});

    // A name the file dialog could not decode would lead to a look-alike file.
    dialog->AdoptSaveFile(QString::fromStdString(other.parent_path().string()) +
                          QStringLiteral("/slot\uFFFD.dat"));
    EXPECT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(locations.SavePath(), other);
}

TEST_F(DialogTest, TheMemoTakesOnlyWhatABackupNameCanCarryAndSaysWhy) {
    Open();
    auto& memo = Get<QLineEdit>(kIdMemo);
    memo.setFocus();
    const auto tip = [] { return QToolTip::isVisible() ? QToolTip::text() : QString(); };

    // Characters no file name holds are left out of a paste (which, and the
    // words for why, are the core's rule).
    memo.insert(QStringLiteral("ボス/戦"));
    EXPECT_EQ(memo.text(), QStringLiteral("ボス戦"));
    EXPECT_TRUE(tip().contains(QStringLiteral("「/」"))) << tip().toStdString();

    // A backup name holds 255 bytes; the save's name and time take their share.
    // A paste into the middle keeps what fits of itself, and all of the rest.
    const int room = 255 - static_cast<int>(kSaveStamp.size());
    const QString rest = QString(room - 8, QLatin1Char('r'));
    memo.setText(QStringLiteral("前") + rest);  // five bytes left
    memo.setCursorPosition(1);
    memo.insert(QStringLiteral("0123456789"));
    EXPECT_EQ(memo.text(), QStringLiteral("前01234") + rest);
    Click(kIdBackup);  // and the longest memo still makes a backup
    EXPECT_EQ(ReadFile(backups / (kSaveStamp + memo.text().toStdString())), "current");

    // A save with a longer name leaves less room: the memo is not cut, the
    // backup says why it cannot be made.
    WriteFile(folder / "game" / "slot1.dat.longer", "longer", kSaveTime);
    dialog->AdoptSaveFile(QString::fromStdString(saveFile.string() + ".longer"));
    Boxes boxes(QMessageBox::Ok);
    Click(kIdBackup);
    EXPECT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(memo.text(), QStringLiteral("前01234") + rest);
    QToolTip::hideText();
}

TEST_F(DialogTest, ALongNameScrollsSidewaysAndShowsWholeAsItsTooltip) {
    const std::string longName = kSaveStamp + std::string(150, 'w') + "の前";
    WriteFile(backups / longName, "long", 1699200000);  // between the newest and the middle
    Open();
    QListView& list = List();
    ASSERT_EQ(Listed()[1], longName);
    EXPECT_TRUE(list.horizontalScrollBar()->isVisible());

    const auto tipAt = [&](int row) {
        const QPoint at = RowRect(row).center();
        QHelpEvent event(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    };
    EXPECT_EQ(tipAt(0), "");  // shown whole: no tip
    EXPECT_EQ(tipAt(1), longName);
    // Scrolled to its end, the name is still cut off at its start.
    list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
    EXPECT_EQ(tipAt(1), longName);
    QToolTip::hideText();
}

TEST_F(DialogTest, LayoutGlyphsAndTabOrder) {
    Open();
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());  // not resizable
    // Each control the layout shows lies inside the window, in front of the
    // group boxes that frame it; labels and check boxes are grown to fit
    // their caption. The rest are hidden, and Tab follows the layout's
    // visible tab stops.
    std::vector<int> tabStops;
    for (const ControlTemplate& entry :
         LoadDialogTemplate(QString::fromLatin1(kMainDialogLayout)).controls) {
        if (entry.id < 0) {
            continue;  // the group boxes
        }
        QWidget* control = dialog->Control(entry.id);
        ASSERT_NE(control, nullptr) << entry.id;
        if (!entry.Has(QStringLiteral("WS_VISIBLE"))) {
            EXPECT_FALSE(control->isVisible()) << entry.id;
            continue;
        }
        EXPECT_TRUE(dialog->rect().contains(control->geometry())) << entry.id;
        QWidget* hit = dialog->childAt(control->geometry().center());
        EXPECT_TRUE(hit == control || control->isAncestorOf(hit)) << entry.id;
        if (entry.kind == "checkbox" || (entry.kind == "static" && !entry.caption.isEmpty())) {
            EXPECT_EQ(control->size().expandedTo(control->sizeHint()), control->size()) << entry.id;
        }
        if (entry.Has(QStringLiteral("WS_TABSTOP"))) {
            tabStops.push_back(entry.id);
        }
    }
    ASSERT_FALSE(tabStops.empty());
    tabStops.push_back(tabStops.front());  // and round again
    for (const int id : tabStops) {
        EXPECT_EQ(QApplication::focusWidget(), dialog->Control(id)) << id;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Japanese captions are drawn by a font that has the glyphs.
    const QFontMetrics metrics(dialog->Control(kIdBackup)->font());
    for (const QChar c : QStringLiteral("戻す確認削除フォルダー↑↓")) {
        EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());
    }
}

// What the window adds to the automatic backups: the item in the background's
// menu, the mode in the title, and its event loop waking the watcher when the
// game writes. When a state is kept, and which, is the core's tests' business.
TEST_F(DialogTest, TheAutomaticBackupsItemTurnsThemOnAndWhatTheGameWritesIsKept) {
    WriteSettings(saveFile.parent_path().string(), "slot1.dat", "[AutoBackup]\nsettle=0.2\n");
    Open();
    const auto title = [&] { return dialog->windowTitle().toStdString(); };
    EXPECT_EQ(title(), "Tsumugiya");
    ASSERT_EQ(ChooseFromMenu(messages::kAutoBackupItem), false);
    EXPECT_EQ(title(), "Tsumugiya [自動]");

    // The automatic backup that holds these bytes, once there is one.
    const auto keptAs = [&](const std::string& bytes) {
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
    };
    // The state at start of a save picked in another folder, which the
    // watch follows, once it has settled; then what the game writes there,
    // which only the descriptor's wake-up brings.
    const fs::path otherSave = folder / "game2" / "slot2.dat";
    fs::create_directory(otherSave.parent_path());
    WriteFile(otherSave, "second slot", kSaveTime);
    dialog->AdoptSaveFile(QString::fromStdString(otherSave.string()));
    EXPECT_NE(keptAs("second slot"), "");
    StandInGame{otherSave}.Write(GameWrite::RenamedOver, "after the boss");
    const std::string made = keptAs("after the boss");
    ASSERT_NE(made, "");
    EXPECT_EQ(title(), "Tsumugiya [自動] : " + made + " にバックアップ");
    EXPECT_TRUE(std::ranges::count(Listed(), made) || std::ranges::count(Listed(), "> " + made));

    // Off: the note runs its course, then the plain title has no mark.
    ASSERT_EQ(ChooseFromMenu(messages::kAutoBackupItem), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return title() == "Tsumugiya"; }, 3000)) << title();
}

TEST_F(DialogTest, TheHelpKeyAndTheBackgroundMenuOpenTheAboutBox) {
    Open();
    int shown = 0;
    Answerer<CAboutDlg> about([&](CAboutDlg& box) {
        ++shown;
        QTest::mouseClick(box.Control(1), Qt::LeftButton);  // its OK
        EXPECT_FALSE(box.isVisible());
    });
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(ChooseFromMenu(LoadResourceString(kAboutMenuString).toStdString()), false);
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(dialog->isVisible());
}

// What the window adds to the hotkeys: the dialog that edits them, the keys
// it takes from the desktop after a change, and what it says where the
// desktop gives none. What a key does, and the keys taken at start, are the
// core's tests' business; the keys on a real display, the smoke test's.
class HotkeysDialogTest : public DialogTest {
  protected:
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
        for (const int box : {kIdHotkeysOn, kIdHotkeySound}) {  // as the file has them
            EXPECT_TRUE(dynamic_cast<QCheckBox&>(*hotkeys.Control(box)).isChecked()) << box;
        }
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
    // box unticked reached them.
    const std::string settings = ReadFile(folder / "tsumugiya.ini").value_or("");
    EXPECT_FALSE(ReadHotkeySettings(settings).sound) << settings;
    const HotkeyBindings changed{{HotkeyAction::Backup, {kModCtrl | kModAlt, "PgUp"}},
                                 {HotkeyAction::Restore, {kModCtrl, "F9"}}};
    EXPECT_EQ(keys.grabbed, changed);

    ASSERT_TRUE(OpenHotkeys([](CHotkeysDlg& hotkeys) {
        EXPECT_EQ(Shown(hotkeys, kIdHotkeyBackup), "Ctrl+Alt+PgUp");
        EXPECT_EQ(Shown(hotkeys, kIdHotkeyQuick), "");
        EXPECT_FALSE(dynamic_cast<QCheckBox&>(*hotkeys.Control(kIdHotkeySound)).isChecked());
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

#include "DialogTest.moc"
