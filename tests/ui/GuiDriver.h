#pragma once

// Drives the real dialog headless: a fresh program folder, the controls by
// id, clicks and keys, and an answerer for the modal boxes it opens.

#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "AppLocations.h"
#include "CTsumugiya_Dlg.h"
#include "support/TestSupport.h"

namespace tsumugiya::test {

// Answers every modal message box that opens while it lives, recording
// each box's caption, text and the words on its buttons.
class BoxAnswerer {
  public:
    // Escape stands for closing the box without choosing a button.
    explicit BoxAnswerer(QMessageBox::StandardButton answer);

    QStringList texts;
    QStringList captions;
    QList<Qt::TextFormat> formats;
    QList<QStringList> buttons;

  private:
    QTimer poll_;
};

// Runs the action on a modal file dialog for as long as it stays open: the
// dialog reads its folder in the background and may reset a selection made
// too early. After a few seconds it is cancelled, so a test fails, not hangs.
class FileDialogAnswerer {
  public:
    explicit FileDialogAnswerer(std::function<void(QFileDialog&)> action);
    bool Answered() const { return attempts_ > 0 && !gaveUp_; }

  private:
    QTimer poll_;
    int attempts_ = 0;
    bool gaveUp_ = false;
};

// A program folder with a save file and the dialog opened on it.
class DialogFixture {
  public:
    DialogFixture();

    void WriteSettings(const std::string& folder, const std::string& fileName) const;
    // A backup of the save file under this name and modification time.
    void AddBackup(const std::string& name, std::int64_t time, const std::string& content) const;
    ui::CTsumugiya_Dlg& Open();

    template <class T>
    T& Get(int id) const {
        auto* control = qobject_cast<T*>(dialog->Control(id));
        if (!control) {
            throw std::runtime_error("no such control " + std::to_string(id));
        }
        return *control;
    }
    void Click(int id) const;
    QListWidget& List() const;
    Texts ListTexts() const;
    std::vector<int> SelectedRows() const;
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const;
    QString Title() const { return dialog->windowTitle(); }

    TempFolder folder;
    fs::path executable;
    fs::path saveFile;
    fs::path backups;
    AppLocations locations;
    std::unique_ptr<ui::CTsumugiya_Dlg> dialog;
};

}  // namespace tsumugiya::test
