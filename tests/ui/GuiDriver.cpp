#include "GuiDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "ControlIds.h"

namespace tsumugiya::test {
namespace {

constexpr int kPollMs = 10;
constexpr int kGiveUpAfter = 500;  // polls, about five seconds

}  // namespace

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer) {
    QObject::connect(&poll_, &QTimer::timeout, [this, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            return;
        }
        texts << box->text();
        captions << box->windowTitle();
        formats << box->textFormat();
        QStringList words;
        for (const QAbstractButton* button : box->buttons()) {
            words << button->text();
        }
        buttons << words;
        if (answer == QMessageBox::Escape) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(answer)->click();
        }
    });
    poll_.start(kPollMs);
}

FileDialogAnswerer::FileDialogAnswerer(std::function<void(QFileDialog&)> action) {
    QObject::connect(&poll_, &QTimer::timeout, [this, action] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            return;
        }
        if (++attempts_ > kGiveUpAfter) {
            gaveUp_ = true;
            dialog->reject();
            return;
        }
        action(*dialog);
    });
    poll_.start(kPollMs);
}

DialogFixture::DialogFixture()
    : executable(folder / "tsumugiya"),
      saveFile(folder / "game" / "slot1.dat"),
      backups(folder / "backup") {
    fs::create_directories(saveFile.parent_path());
    fs::create_directories(backups);
}

void DialogFixture::WriteSettings(const std::string& saveFolder,
                                  const std::string& fileName) const {
    WriteFile(folder / "tsumugiya.ini",
              "[SaveFile]\nfolder=" + saveFolder + "\nfilename=" + fileName + "\n");
}

void DialogFixture::AddBackup(const std::string& name, std::int64_t time,
                              const std::string& content) const {
    WriteFile(backups / name, content, time);
}

ui::CTsumugiya_Dlg& DialogFixture::Open() {
    dialog = std::make_unique<ui::CTsumugiya_Dlg>(locations, executable);
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    if (!QTest::qWaitForWindowActive(dialog.get())) {
        throw std::runtime_error("the dialog never became active");
    }
    return *dialog;
}

void DialogFixture::Click(int id) const {
    QTest::mouseClick(&Get<QAbstractButton>(id), Qt::LeftButton);
}

QListWidget& DialogFixture::List() const {
    return Get<QListWidget>(ui::kIdBackupList);
}

Texts DialogFixture::ListTexts() const {
    Texts texts;
    for (int row = 0; row < List().count(); ++row) {
        texts.push_back(List().item(row)->text().toStdString());
    }
    return texts;
}

std::vector<int> DialogFixture::SelectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < List().count(); ++row) {
        if (List().item(row)->isSelected()) {
            rows.push_back(row);
        }
    }
    return rows;
}

void DialogFixture::ClickRow(int row, Qt::KeyboardModifiers modifiers) const {
    QListWidget& list = List();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers,
                      list.visualItemRect(list.item(row)).center());
}

}  // namespace tsumugiya::test
