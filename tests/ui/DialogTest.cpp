// The dialog's buttons, end to end: clicks on the real controls, files on
// disk, answers to the real message boxes.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QUrl>

#include "ControlIds.h"
#include "GuiDriver.h"

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
        AddBackup(kMiddle, 1699000000, "middle");
        AddBackup(kOldest, 1698829200, "oldest");
        AddBackup(kNewest, 1699500000, "newest");
    }
};

TEST_F(DialogTest, StartsReadyForOneClickBackup) {
    WriteSettings(saveFile.parent_path().string() + "/", "slot1.dat");  // trailing slash trimmed
    Open();
    EXPECT_EQ(Title(), "Tsumugiya");
    EXPECT_TRUE(Get<QCheckBox>(kIdConfirmOnRestore).isChecked());
    EXPECT_EQ(ListTexts(), (Texts{kNewest, kMiddle, kOldest}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(Get<QLabel>(kIdSavePath).text().toStdString(), saveFile.string());
    EXPECT_EQ(QApplication::focusWidget(), &Get<QPushButton>(kIdBackup));

    // Enter on the focused backup button backs up instead of ending.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(ReadFile(backups / kSaveStamp), "current");
}

TEST_F(DialogTest, BackupCopiesWithTimeAndMemoThenRefusesTheSameName) {
    Open();
    Get<QLineEdit>(kIdMemo).insert(QStringLiteral("城の前"));
    Click(kIdBackup);
    const std::string name = kSaveStamp + "城の前";
    EXPECT_EQ(StateOf(backups / name), StateOf(saveFile));
    EXPECT_EQ(Title().toStdString(), "Tsumugiya : " + name + " にバックアップ");
    EXPECT_EQ(ListTexts().front(), name);
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});

    WriteFile(saveFile, "changed", kSaveTime);  // same time, so the same name
    BoxAnswerer boxes(QMessageBox::Ok);
    Click(kIdBackup);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("同じ名前のファイルがあります。")});
    EXPECT_EQ(boxes.captions, QStringList{QStringLiteral("tsumugiya")});
    EXPECT_EQ(ReadFile(backups / name), "current");

    // Cleared memo: the name ends at the underscore.
    Click(kIdClearMemo);
    EXPECT_TRUE(Get<QLineEdit>(kIdMemo).text().isEmpty());
    Click(kIdBackup);
    EXPECT_EQ(ReadFile(backups / kSaveStamp), "changed");
}

TEST_F(DialogTest, FixedNameBackupOverwritesItsOneFile) {
    Open();
    Click(kIdFixedNameBackup);
    WriteFile(saveFile, "later", kSaveTime + 60);
    Click(kIdFixedNameBackup);
    EXPECT_EQ(StateOf(backups / "slot1.dat.save.temp"), StateOf(saveFile));
    EXPECT_EQ(Title(), "Tsumugiya : slot1.dat.save.temp にバックアップ");
    EXPECT_EQ(ListTexts().front(), "slot1.dat.save.temp");
}

TEST_F(DialogTest, RestoreAsksThenPutsTheSelectedBackBehindASafetyCopy) {
    Open();
    ClickRow(1);
    {
        BoxAnswerer boxes(QMessageBox::Escape);  // closing the question is Cancel
        Click(kIdRestore);
        EXPECT_EQ(boxes.texts,
                  QStringList{QStringLiteral("元のセーブファイルを上書きしていいですか？")});
    }
    EXPECT_EQ(ReadFile(saveFile), "current");

    {
        BoxAnswerer boxes(QMessageBox::Ok);
        Click(kIdRestore);
        EXPECT_EQ(boxes.texts.size(), 1);
    }
    EXPECT_EQ(StateOf(saveFile), StateOf(backups / kMiddle));
    EXPECT_EQ(ReadFile(fs::path(saveFile.string() + ".s")), "current");
    EXPECT_EQ(Title(), "Tsumugiya :  選択ファイルをロード");
}

TEST_F(DialogTest, RestoresInARowKeepEveryStateAndTheRestoredEntrySelected) {
    WriteFile(saveFile, "progress", kSaveTime);  // never backed up
    Open();
    Get<QCheckBox>(kIdConfirmOnRestore).setChecked(false);  // unticked: no question
    BoxAnswerer unexpected(QMessageBox::Cancel);
    ClickRow(2);  // the oldest: the progress goes to the safety copy
    Click(kIdRestore);
    ClickRow(1);  // the middle: the safety copy's progress must not be lost
    Click(kIdRestore);
    EXPECT_TRUE(unexpected.texts.isEmpty());

    const std::string kept = kSaveStamp + "戻す前";
    EXPECT_EQ(ReadFile(backups / kept), "progress");
    EXPECT_EQ(ReadFile(saveFile), "middle");
    EXPECT_EQ(ReadFile(fs::path(saveFile.string() + ".s")), "oldest");
    EXPECT_EQ(ListTexts(), (Texts{kept, kNewest, kMiddle, kOldest}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{2});  // the restored one, not the new one
    EXPECT_EQ(Title(), "Tsumugiya :  選択ファイルをロード");
}

TEST_F(DialogTest, AnotherSavesBackupIsAlwaysAskedAboutNamingBothFiles) {
    const std::string other = "slot2.dat.save.2023年11月20日00時00分00秒_";
    AddBackup(other, 1700438400, "slot 2");
    Open();
    Get<QCheckBox>(kIdConfirmOnRestore).setChecked(false);
    ASSERT_EQ(ListTexts().front(), other);
    {
        BoxAnswerer boxes(QMessageBox::Cancel);
        Click(kIdRestore);
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts[0].contains(QString::fromStdString(other)));
        EXPECT_TRUE(boxes.texts[0].contains(QString::fromStdString(saveFile.string())));
        // Qt's own buttons speak the program's language.
        EXPECT_TRUE(boxes.buttons[0].contains(QStringLiteral("キャンセル")))
            << boxes.buttons[0].join(' ').toStdString();
    }
    EXPECT_EQ(ReadFile(saveFile), "current");
    EXPECT_FALSE(fs::exists(saveFile.string() + ".s"));
    EXPECT_EQ(Names(backups).size(), 4u);
}

TEST_F(DialogTest, SeveralSelectedAreDeletedTogetherButNeverRestored) {
    Open();
    ClickRow(0);
    ClickRow(2, Qt::ControlModifier);
    EXPECT_EQ(dialog->SelectionCount(), 2);
    EXPECT_EQ(dialog->SelectedNames(10),
              (std::vector<fs::path>{backups / kNewest, backups / kOldest}));
    {
        BoxAnswerer boxes(QMessageBox::Ok);
        Click(kIdRestore);
        EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("!!! 複数のファイルは選択できません。")});
    }
    EXPECT_EQ(ReadFile(saveFile), "current");

    {
        BoxAnswerer boxes(QMessageBox::Cancel);
        Click(kIdDelete);
    }
    EXPECT_EQ(Names(backups).size(), 3u);
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});  // refreshed even so
    ClickRow(2, Qt::ControlModifier);
    BoxAnswerer boxes(QMessageBox::Ok);
    Click(kIdDelete);
    // The question names both: after Cancel the newest is selected again.
    EXPECT_EQ(boxes.texts, QStringList{QString::fromStdString("削除していいですか？\n" + kNewest +
                                                              "\n" + kOldest)});
    EXPECT_EQ(Names(backups), Texts{kMiddle});
    EXPECT_EQ(ListTexts(), Texts{kMiddle});
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});

    // An entry that cannot go (a folder with files in it) is said, with its cause.
    const fs::path stuck = backups / "slot1.dat.save.folder";
    fs::create_directories(stuck / "in");
    Click(kIdRefresh);
    ClickRow(static_cast<int>(List().count()) - 1);  // without a file time it comes last
    Click(kIdDelete);
    ASSERT_EQ(boxes.texts.size(), 3);
    EXPECT_TRUE(boxes.texts[2].startsWith(QStringLiteral("!!! 削除できなかった")));
    const QString named = QString::fromStdString("\n" + stuck.string() + ": ");
    ASSERT_TRUE(boxes.texts[2].contains(named)) << boxes.texts[2].toStdString();
    EXPECT_GT(boxes.texts[2].size(), boxes.texts[2].indexOf(named) + named.size());  // a cause
    fs::remove_all(stuck);
}

TEST_F(DialogTest, FailuresNameTheFileAndTheCauseAsPlainText) {
    // Markup in a folder name must not turn the report into rich text.
    const fs::path odd = folder / "<b>odd</b>";
    fs::create_directories(odd);
    WriteSettings(odd.string(), "slot1.dat");
    Open();
    BoxAnswerer boxes(QMessageBox::Ok);
    Click(kIdBackup);
    ASSERT_EQ(boxes.texts.size(), 1);
    const QStringList lines = boxes.texts[0].split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QString::fromStdString((odd / "slot1.dat").string())));
    EXPECT_FALSE(lines[1].isEmpty());  // the cause, in whatever language
    EXPECT_EQ(boxes.formats, QList<Qt::TextFormat>{Qt::PlainText});
    EXPECT_EQ(Names(backups).size(), 3u);

    // Settings that cannot be written are said at the end, not lost quietly.
    fs::remove(folder / "tsumugiya.ini");
    fs::create_directory(folder / "tsumugiya.ini");
    dialog->reject();
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(boxes.texts[1].startsWith(QStringLiteral("!!! 設定ファイル")));
    EXPECT_TRUE(
        boxes.texts[1].contains(QString::fromStdString((folder / "tsumugiya.ini").string())));
}

TEST_F(DialogTest, WhatIsWrongAtStartIsSaidOnceAndUnusableSettingsStay) {
    WriteSettings("game/", "slot1.dat");  // not absolute
    const fs::path settings = folder / "tsumugiya.ini";
    const auto settingsBefore = ReadFile(settings);
    fs::remove_all(backups);
    WriteFile(backups, "a file where the folder should be");
    BoxAnswerer boxes(QMessageBox::Ok);
    dialog = std::make_unique<CTsumugiya_Dlg>(locations, executable);
    dialog->show();  // the box comes up over the window, not before it
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 2000);
    const QStringList lines = boxes.texts[0].split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 4) << boxes.texts[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("folder=game "))) << lines[0].toStdString();
    EXPECT_EQ(lines[1].toStdString(), settings.string());
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("!!! バックアップフォルダー")));
    EXPECT_TRUE(boxes.texts[0].contains(QString::fromStdString(backups.string())));
    EXPECT_TRUE(Get<QLabel>(kIdSavePath).text().isEmpty());

    dialog->close();
    EXPECT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(ReadFile(settings), settingsBefore);  // not even the slash taken off
    EXPECT_EQ(ReadFile(backups), "a file where the folder should be");
}

TEST_F(DialogTest, EveryOrderlyEndWritesTheSettingsUnlessChosenElsewhere) {
    const fs::path settings = folder / "tsumugiya.ini";
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return}) {
        Open();
        fs::remove(settings);
        // Enter in the memo field is not a button's: it ends the dialog.
        QWidget& target = key == Qt::Key_Return ? static_cast<QWidget&>(Get<QLineEdit>(kIdMemo))
                                                : static_cast<QWidget&>(*dialog);
        target.setFocus();
        QTest::keyClick(&target, key);
        EXPECT_FALSE(dialog->isVisible());
        const auto text = ReadFile(settings);
        ASSERT_TRUE(text.has_value());
        EXPECT_NE(text->find("folder=" + saveFile.parent_path().string()), std::string::npos)
            << *text;
        EXPECT_NE(text->find("filename=slot1.dat"), std::string::npos);
    }
    // The close box as well; nothing changed in the run, the file is still written.
    Open();
    fs::remove(settings);
    dialog->close();
    EXPECT_TRUE(fs::exists(settings));

    // tsumugiya-cli use chose another save while the window was open.
    Open();
    WriteSettings("/elsewhere", "slot9.dat");
    const auto chosenElsewhere = ReadFile(settings);
    dialog->close();
    EXPECT_EQ(ReadFile(settings), chosenElsewhere);
    // A save picked in the window after that is the later choice.
    Open();
    WriteSettings("/elsewhere", "slot8.dat");
    dialog->AdoptSaveFile(QString::fromStdString(saveFile.string()));
    dialog->close();
    EXPECT_NE(ReadFile(settings)->find("filename=slot1.dat"), std::string::npos);
}

TEST_F(DialogTest, PickingASaveFileShowsItAtOnceAndWritesNothing) {
    Open();
    const fs::path other = folder / "game" / "slot2.dat";  // does not exist
    // Typed into the name field, as a user would name a file not there yet;
    // selectFile() leaves the field alone while it has the focus.
    QString nameLabel;
    FileDialogAnswerer picker([&](QFileDialog& files) {
        files.setDirectory(QString::fromStdString(other.parent_path().string()));
        nameLabel = files.findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text();
        auto* name = files.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(other.filename().string()));
        static_cast<QDialog&>(files).accept();
    });
    const auto settingsBefore = ReadFile(folder / "tsumugiya.ini");
    {
        BoxAnswerer question(QMessageBox::Ok);  // yes, that name
        Click(kIdSelectSaveFile);
        ASSERT_EQ(question.texts.size(), 1);
        EXPECT_TRUE(question.texts[0].startsWith(QString::fromStdString(other.string())));
    }
    EXPECT_TRUE(picker.Answered());
    EXPECT_EQ(nameLabel, QStringLiteral("ファイル名(&N):"));  // in the program's language
    EXPECT_EQ(Get<QLabel>(kIdSavePath).toolTip().toStdString(), other.string());
    EXPECT_EQ(locations.SavePath(), other);
    EXPECT_FALSE(fs::exists(other));
    EXPECT_EQ(ListTexts().size(), 3u);
    EXPECT_EQ(ReadFile(folder / "tsumugiya.ini"), settingsBefore);
    // Nor do the toolkit's dialogs leave their own settings in the home folder.
    EXPECT_EQ(Names(::getenv("XDG_CONFIG_HOME")), Texts{});

    // Backups now fail as for any save file that cannot be opened.
    BoxAnswerer boxes(QMessageBox::Ok);
    Click(kIdBackup);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].contains(QString::fromStdString(other.string())));
}

TEST_F(DialogTest, PickingAnUnusableSavePathIsRefusedOrWarned) {
    Open();
    BoxAnswerer boxes(QMessageBox::Ok);
    dialog->AdoptSaveFile(QStringLiteral("relative/slot.dat"));  // which paths: the core's tests
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith(QStringLiteral("!!! ")));
    // A name the dialog could not decode would lead to a look-alike file.
    dialog->AdoptSaveFile(QString::fromStdString((folder / "game").string()) +
                          QStringLiteral("/slot\uFFFD.dat"));
    EXPECT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(locations.SavePath(), saveFile);
    EXPECT_EQ(Get<QLabel>(kIdSavePath).toolTip().toStdString(), saveFile.string());

    // A name without a dot is taken as it is: its backups are listed like any.
    const fs::path bare = folder / "game" / "SAVEDATA";
    dialog->AdoptSaveFile(QString::fromStdString(bare.string()));
    EXPECT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(locations.SavePath(), bare);
}

class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST_F(DialogTest, OpenFolderShowsTheBackupFolder) {
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    Open();
    Click(kIdOpenFolder);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0].toLocalFile().toStdString(), backups.string());
}

TEST_F(DialogTest, ANameThatIsNotUtf8IsDeletedAsItsOwnBytes) {
    const std::string broken = "slot1.dat.save.\xff_x";
    const std::string lookalike = "slot1.dat.save.\xef\xbf\xbd_x";  // how it is displayed
    AddBackup(broken, 1699900000, "broken");
    AddBackup(lookalike, 1600000000, "lookalike");
    Open();
    ASSERT_EQ(SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(dialog->SelectedNames(1), std::vector<fs::path>{backups / broken});
    BoxAnswerer boxes(QMessageBox::Ok);
    Click(kIdDelete);
    EXPECT_FALSE(fs::exists(backups / broken));
    EXPECT_EQ(ReadFile(backups / lookalike), "lookalike");
}

TEST_F(DialogTest, TheMemoTakesOnlyWhatABackupNameCanCarryAndSaysWhy) {
    Open();
    auto& memo = Get<QLineEdit>(kIdMemo);
    memo.setFocus();
    const auto tip = [] { return QToolTip::isVisible() ? QToolTip::text() : QString(); };

    // Characters no file name holds are left out of what is typed or pasted.
    memo.insert(QStringLiteral("ボス"));
    EXPECT_EQ(tip(), QString());
    QTest::keyClicks(&memo, QStringLiteral("/"));
    EXPECT_EQ(memo.text(), QStringLiteral("ボス"));
    EXPECT_TRUE(tip().contains(QStringLiteral("「/」"))) << tip().toStdString();
    memo.insert(QStringLiteral("戦\\2\t回目"));
    EXPECT_EQ(memo.text(), QStringLiteral("ボス戦2回目"));
    EXPECT_TRUE(tip().contains(QStringLiteral("「\\」"))) << tip().toStdString();

    // A backup name holds 255 bytes; the save's name and time take their share.
    // A paste into the middle keeps what fits of itself, and all of the rest.
    const int room = 255 - static_cast<int>(kSaveStamp.size());
    const QString rest = QString(room - 8, QLatin1Char('r'));
    memo.setText(QStringLiteral("前") + rest);  // five bytes left
    memo.setCursorPosition(1);
    memo.insert(QStringLiteral("0123456789"));
    EXPECT_EQ(memo.text(), QStringLiteral("前01234") + rest);
    EXPECT_TRUE(tip().contains(QStringLiteral("5 バイト長すぎます"))) << tip().toStdString();
    Click(kIdBackup);  // and the longest memo still makes a backup
    EXPECT_EQ(ReadFile(backups / (kSaveStamp + memo.text().toStdString())), "current");

    // A save with a longer name leaves less room: the backup says so, whole.
    WriteFile(folder / "game" / "slot1.dat.longer", "longer", kSaveTime);
    dialog->AdoptSaveFile(QString::fromStdString(saveFile.string() + ".longer"));
    BoxAnswerer boxes(QMessageBox::Ok);
    Click(kIdBackup);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].contains(QStringLiteral("7 バイト長すぎます")))
        << boxes.texts[0].toStdString();
    EXPECT_EQ(memo.text(), QStringLiteral("前01234") + rest);
    QToolTip::hideText();
}

TEST_F(DialogTest, ALongNameScrollsSidewaysAndShowsWholeAsItsTooltip) {
    const std::string longName =
        kSaveStamp.substr(0, kSaveStamp.size() - 1) + "_" + std::string(150, 'w') + "の前";
    AddBackup(longName, 1699200000, "long");  // between the newest and the middle
    Open();
    QListWidget& list = List();
    ASSERT_EQ(ListTexts()[1], longName);
    EXPECT_TRUE(list.horizontalScrollBar()->isVisible());

    const auto tipAt = [&](int row) {
        const QPoint at = list.visualItemRect(list.item(row)).center();
        QHelpEvent event(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(0), QString());  // shown whole: no tip
    EXPECT_EQ(tipAt(1).toStdString(), longName);
    // Scrolled to its end, the name is still cut off at its start.
    list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
    EXPECT_EQ(tipAt(1).toStdString(), longName);
    QToolTip::hideText();
}

}  // namespace
}  // namespace tsumugiya::test

#include "DialogTest.moc"
