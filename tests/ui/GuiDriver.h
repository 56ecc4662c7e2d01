#pragma once

// Drives the real dialog headless: a fresh program folder, the controls by
// id, clicks, and answerers for the modal dialogs it opens.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "AppLocations.h"
#include "CTsumugiya_Dlg.h"
#include "MainDialog.h"
#include "support/TestSupport.h"

namespace tsumugiya::test {

// Calls answer on each modal dialog of kind T while it lives, every 10 ms for
// as long as the dialog stays open: a file dialog reads its folder in the
// background and may undo what was done too early. One still open after about
// five seconds fails the test and is rejected, so that the test goes on.
template <class T>
class Answerer {
  public:
    explicit Answerer(std::function<void(T&)> answer) {
        QObject::connect(&poll_, &QTimer::timeout, [this, answer] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) {
                polls_ = 0;
            } else if (++polls_ <= 500) {
                answer(*dialog);
            } else {
                ADD_FAILURE() << "left open: " << dialog->windowTitle().toStdString();
                dialog->reject();
            }
        });
        poll_.start(10);
    }

  private:
    QTimer poll_;
    int polls_ = 0;
};

// Answers every message box with this button, recording its text and the
// words on its buttons. Every box must carry the program's name and show its
// text as it is, never as markup.
struct Boxes {
    explicit Boxes(QMessageBox::StandardButton button)
        : answerer([this, button](QMessageBox& box) {
              texts << box.text();
              for (const QAbstractButton* each : box.buttons()) {
                  buttons << each->text();
              }
              EXPECT_EQ(box.windowTitle(), "tsumugiya");
              EXPECT_EQ(box.textFormat(), Qt::PlainText) << box.text().toStdString();
              box.button(button)->click();
          }) {}

    QStringList texts;
    QStringList buttons;
    Answerer<QMessageBox> answerer;
};

// Stands for the desktop's global keys: keeps what the window asked for last.
struct KeyRecorder {
    ui::GlobalKeysSource Source() {
        struct Keys : ui::GlobalKeys {
            explicit Keys(HotkeyBindings& grabbed) : grabbed(grabbed) {}
            std::vector<HotkeyAction> Grab(const HotkeyBindings& bindings) override {
                grabbed = bindings;
                return {};
            }
            HotkeyBindings& grabbed;
        };
        return [this](ui::GlobalKeys::Events) { return std::make_unique<Keys>(grabbed); };
    }
    HotkeyBindings grabbed;
};

// A program folder beside a game folder, and the dialog opened on them.
struct DialogFixture {
    DialogFixture() {
        fs::create_directories(saveFile.parent_path());
        fs::create_directories(backups);
    }

    // The save file's section, then any others given.
    void WriteSettings(const std::string& saveFolder, const std::string& fileName,
                       const std::string& sections = "") const {
        WriteFile(folder / "tsumugiya.ini",
                  "[SaveFile]\nfolder=" + saveFolder + "\nfilename=" + fileName + "\n" + sections);
    }
    void Open() {
        dialog = std::make_unique<ui::CTsumugiya_Dlg>(locations, folder / "tsumugiya", nullptr,
                                                      keys.Source());
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        if (!QTest::qWaitForWindowActive(dialog.get())) {
            throw std::runtime_error("the dialog never became active");
        }
    }

    template <class T>
    T& Get(int id) const {
        return dynamic_cast<T&>(*dialog->Control(id));  // throws for the wrong kind
    }
    // Chooses the item of this text from the window's background menu;
    // whether it showed ticked, absent when the menu had no such item.
    std::optional<bool> ChooseFromMenu(std::string_view item) {
        std::optional<bool> ticked;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            for (QAction* action : menu ? menu->actions() : QList<QAction*>{}) {
                if (action->text().toStdString() == item) {
                    ticked = action->isCheckable() && action->isChecked();
                    action->trigger();
                }
            }
            if (menu) {
                menu->close();
            }
        });
        const QPoint background(2, 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, background,
                                dialog->mapToGlobal(background));
        QApplication::sendEvent(dialog.get(), &event);
        return ticked;
    }
    QListView& List() const { return Get<QListView>(kIdBackupList); }
    QRect RowRect(int row) const { return List().visualRect(List().model()->index(row, 0)); }
    void Click(int id) const { QTest::mouseClick(&Get<QAbstractButton>(id), Qt::LeftButton); }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        QTest::mouseClick(List().viewport(), Qt::LeftButton, modifiers, RowRect(row).center());
    }
    // The list as shown, each selected entry marked "> ".
    Texts Listed() const {
        Texts texts;
        for (int row = 0; row < List().model()->rowCount(); ++row) {
            const QModelIndex index = List().model()->index(row, 0);
            texts.push_back((List().selectionModel()->isSelected(index) ? "> " : "") +
                            index.data().toString().toStdString());
        }
        return texts;
    }

    Answerer<QDialog> unanswered{[](QDialog&) {}};  // no box a test did not expect
    TempFolder folder;
    fs::path saveFile = folder / "game" / "slot1.dat";
    fs::path backups = folder / "backup";
    AppLocations locations;
    KeyRecorder keys;
    std::unique_ptr<ui::CTsumugiya_Dlg> dialog;
};

}  // namespace tsumugiya::test
