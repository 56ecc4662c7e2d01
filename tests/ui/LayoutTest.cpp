// The window as laid out: size, places, fonts, colours, tab order, hidden
// controls and the About box.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "CAboutDlg.h"
#include "ControlIds.h"
#include "DialogUnits.h"
#include "GuiDriver.h"

namespace tsumugiya::test {
namespace {

using namespace ui;

class LayoutTest : public ::testing::Test, public DialogFixture {};

int IdOf(const ui::CTsumugiya_Dlg& dialog, const QWidget* widget) {
    for (const int id : {1, 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011,
                         1012, 1013, 1014, 1015}) {
        if (dialog.Control(id) == widget) {
            return id;
        }
    }
    return -1;
}

TEST_F(LayoutTest, FixedSizeAndPlacesFollowTheLayoutFont) {
    Open();
    const DialogUnits units(dialog->font());
    EXPECT_EQ(dialog->size(), units.ToPixels(QSize(443, 349)));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());  // not resizable
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(dialog->Control(kIdBackupList)->geometry(), units.ToPixels(QRect(12, 138, 418, 157)));
    EXPECT_EQ(dialog->Control(kIdBackup)->geometry(), units.ToPixels(QRect(13, 14, 93, 32)));
    EXPECT_EQ(Get<QPushButton>(kIdRestore).text(), QString::fromUtf8("      戻す \u3000 ↑↑↑"));
    EXPECT_EQ(Get<QPushButton>(kIdOpenFolder).text(), QStringLiteral("フォルダー\nを開く"));

    // Group boxes frame the controls from behind: a click lands on the control.
    const QRect list = dialog->Control(kIdBackupList)->geometry();
    EXPECT_EQ(dialog->childAt(list.center()), Get<QListWidget>(kIdBackupList).viewport());
    // Labels that grew to fit their caption still hold all of it.
    for (const int id : {kIdMemoLabel, kIdConfirmOnRestore}) {
        const QWidget* control = dialog->Control(id);
        EXPECT_GE(control->width(), control->sizeHint().width()) << id;
        EXPECT_GE(control->height(), control->sizeHint().height()) << id;
    }
}

TEST_F(LayoutTest, FontsAndColours) {
    Open();
    for (const int id : {kIdClearMemo, kIdFixedNameBackup}) {
        EXPECT_EQ(dialog->Control(id)->font().pointSize(), 9) << id;
    }
    for (const int id :
         {kIdBackup, kIdRestore, kIdDelete, kIdRefresh, kIdMemo, kIdOpenFolder, kIdSelectSaveFile,
          kIdBackupList, kIdSavePath, kIdMemoLabel, kIdConfirmOnRestore}) {
        EXPECT_EQ(dialog->Control(id)->font().pointSize(), 12) << id;
    }
    // Japanese captions are drawn by a font that has the glyphs.
    const QFontMetrics metrics(dialog->Control(kIdBackup)->font());
    for (const QChar c : QStringLiteral("戻す確認削除フォルダー↑↓")) {
        EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());
    }
    const QColor face(180, 200, 255);
    EXPECT_EQ(dialog->palette().color(QPalette::Window), face);
    EXPECT_TRUE(dialog->autoFillBackground());
    EXPECT_EQ(Get<QCheckBox>(kIdConfirmOnRestore).palette().color(QPalette::Window), face);
    EXPECT_NE(dialog->Control(kIdMemo)->palette().color(QPalette::Base), face);
    EXPECT_NE(dialog->Control(kIdBackupList)->palette().color(QPalette::Base), face);
}

TEST_F(LayoutTest, TabFollowsTheLayoutAndSkipsHiddenControls) {
    Open();
    for (const int id : {kIdOk, kIdMapLabel, kIdMapName, kIdMapList}) {
        EXPECT_FALSE(dialog->Control(id)->isVisible()) << id;
    }
    std::vector<int> order;
    for (int step = 0; step < 12; ++step) {
        order.push_back(IdOf(*dialog, QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order,
              (std::vector<int>{kIdBackup, kIdRestore, kIdBackupList, kIdMemo, kIdConfirmOnRestore,
                                kIdDelete, kIdOpenFolder, kIdSelectSaveFile, kIdClearMemo,
                                kIdFixedNameBackup, kIdRefresh, kIdBackup}));
}

TEST_F(LayoutTest, WithoutSettingsTheWindowStillWorks) {
    Open();
    EXPECT_TRUE(Get<QLabel>(kIdSavePath).text().isEmpty());
    EXPECT_TRUE(fs::is_directory(backups));
    EXPECT_EQ(List().count(), 0);
    Boxes boxes(QMessageBox::Ok);
    Click(kIdBackup);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("セーブファイルが選ばれていません。")});
    Click(kIdRestore);  // nothing selected: nothing to ask
    EXPECT_EQ(boxes.texts.size(), 1);
}

TEST_F(LayoutTest, TheHelpKeyAndTheBackgroundMenuOpenTheSameAboutBox) {
    Open();
    std::vector<QStringList> seen;
    const auto readAbout = [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (!about) {
            return;
        }
        QStringList texts{about->windowTitle()};
        for (QLabel* label : about->findChildren<QLabel*>()) {
            texts << label->text();
        }
        seen.push_back(texts);
        QTest::keyClick(about, Qt::Key_Escape);
    };
    QTimer::singleShot(0, readAbout);
    QTest::keyClick(dialog.get(), Qt::Key_F1);

    QStringList items;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            return;
        }
        for (const QAction* action : menu->actions()) {
            items << action->text();
        }
        QTimer::singleShot(0, readAbout);
        menu->actions().constFirst()->trigger();
        menu->close();
    });
    const QPoint background(2, 2);  // outside every control
    ASSERT_EQ(dialog->childAt(background), nullptr);
    QContextMenuEvent event(QContextMenuEvent::Mouse, background, dialog->mapToGlobal(background));
    QApplication::sendEvent(dialog.get(), &event);

    EXPECT_EQ(items, QStringList{QStringLiteral("Tsumugiya.exe のﾊﾞｰｼﾞｮﾝ情報(&A)...")});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_TRUE(seen[0].contains(QStringLiteral("Tsumugiyaのﾊﾞｰｼﾞｮﾝ情報")));
    EXPECT_TRUE(seen[0].contains(QStringLiteral("Tsumugiya.exe Version 1.0")));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Title(), "Tsumugiya");
}

}  // namespace
}  // namespace tsumugiya::test
