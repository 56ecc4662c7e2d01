#include "CHotkeysDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeySequenceEdit>
#include <QMessageBox>
#include <QPushButton>
#include <array>

#include "MainDialog.h"
#include "Messages.h"
#include "Resources.h"

namespace tsumugiya::ui {
namespace {

constexpr std::array<int, 3> kKeyControls{kIdHotkeyBackup, kIdHotkeyQuick, kIdHotkeyRestore};

int KeyControl(HotkeyAction action) {
    return kKeyControls[static_cast<std::size_t>(action)];
}

// The settings file and Qt's portable text spell keys alike ("Ctrl+PgUp").
QKeySequence SequenceOf(const KeyChord& chord) {
    return QKeySequence::fromString(QString::fromStdString(KeyChordText(chord)),
                                    QKeySequence::PortableText);
}

}  // namespace

CHotkeysDlg::CHotkeysDlg(QWidget* owner, const HotkeySettings& shown)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      controls_(LoadDialogTemplate(QString::fromLatin1(kHotkeysDialogLayout)), *this),
      chosen_(shown) {
    setModal(true);
    controls_.FitCaptions();
    for (const HotkeyAction action : kHotkeyActions) {
        auto& edit = controls_.Require<QKeySequenceEdit>(KeyControl(action));
        if (const auto& key = shown.Key(action)) {
            edit.setKeySequence(SequenceOf(*key));
        }
    }
    controls_.Require<QCheckBox>(kIdHotkeysOn).setChecked(shown.enabled);
    controls_.Require<QCheckBox>(kIdHotkeySound).setChecked(shown.sound);
    connect(&controls_.Require<QPushButton>(kIdHotkeysOk), &QPushButton::clicked, this,
            &CHotkeysDlg::accept);
    connect(&controls_.Require<QPushButton>(kIdHotkeysCancel), &QPushButton::clicked, this,
            &CHotkeysDlg::reject);
    controls_.Require<QKeySequenceEdit>(kIdHotkeyBackup).setFocus();
}

void CHotkeysDlg::accept() {
    if (auto read = Read()) {
        chosen_ = std::move(*read);
        QDialog::accept();
    }
}

std::optional<HotkeySettings> CHotkeysDlg::Read() {
    HotkeySettings settings = chosen_;
    settings.problems.clear();
    for (const HotkeyAction action : kHotkeyActions) {
        const QKeySequence sequence =
            controls_.Require<QKeySequenceEdit>(KeyControl(action)).keySequence();
        if (sequence.isEmpty()) {
            settings.Key(action).reset();
            continue;
        }
        const QKeySequence first(sequence[0]);
        settings.Key(action) =
            ParseKeyChord(first.toString(QKeySequence::PortableText).toStdString());
        if (!settings.Key(action)) {
            QMessageBox box(
                QMessageBox::NoIcon, QCoreApplication::applicationName(),
                QString::fromStdString(messages::HotkeyKeyRefused(
                    ActionLabel(action), first.toString(QKeySequence::NativeText).toStdString())),
                QMessageBox::Ok, this);
            box.setTextFormat(Qt::PlainText);
            box.exec();
            controls_.Require<QKeySequenceEdit>(KeyControl(action)).setFocus();
            return std::nullopt;
        }
    }
    settings.enabled = controls_.Require<QCheckBox>(kIdHotkeysOn).isChecked();
    settings.sound = controls_.Require<QCheckBox>(kIdHotkeySound).isChecked();
    return settings;
}

}  // namespace tsumugiya::ui
