#include "CTsumugiya_Dlg.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <algorithm>
#include <limits>

#include "CAboutDlg.h"
#include "CHotkeysDlg.h"
#include "DesktopNotification.h"
#include "FontFaces.h"
#include "MainDialog.h"
#include "MemoLimit.h"
#include "Messages.h"
#include "Resources.h"

namespace tsumugiya::ui {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

}  // namespace

CTsumugiya_Dlg::CTsumugiya_Dlg(AppLocations& locations, std::filesystem::path executable,
                               QWidget* parent, const GlobalKeysSource& keys)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      WindowHost(locations),
      locations_(locations),
      executable_(std::move(executable)),
      controls_(LoadDialogTemplate(QString::fromLatin1(kMainDialogLayout)), *this),
      backupList_(controls_.Require<QListView>(kIdBackupList)),
      status_(*this, QString::fromUtf8(kMainDialogCaption)),
      cues_(executable_),
      keys_(keys(GlobalKeys::Events{
          // After the event that brought the key is done with: the command
          // may paint and read events.
          [this](HotkeyAction action) {
              QTimer::singleShot(0, this, [this, action] { OnHotkey(action); });
          },
          [this](const QString& text) { status_.Show(text); }})) {
    OnInitDialog();
    ConnectCommands();
}

void CTsumugiya_Dlg::OnInitDialog() {
    // The About item: Linux window managers own the window menu, so it sits
    // in the background's context menu and on the help key.
    const QString aboutText = LoadResourceString(kAboutMenuString);
    if (!aboutText.isEmpty()) {
        aboutAction_ = new QAction(aboutText, this);
        aboutAction_->setShortcut(QKeySequence::HelpContents);
        aboutAction_->setShortcutContext(Qt::WindowShortcut);
        connect(aboutAction_, &QAction::triggered, this, &CTsumugiya_Dlg::ShowAboutBox);
        addAction(aboutAction_);
    }
    hotkeysAction_ = new QAction(FromUtf8(messages::kHotkeysDialogTitle), this);
    connect(hotkeysAction_, &QAction::triggered, this, &CTsumugiya_Dlg::ShowHotkeysDialog);
    autoBackupAction_ = new QAction(FromUtf8(messages::kAutoBackupItem), this);
    autoBackupAction_->setCheckable(true);
    connect(autoBackupAction_, &QAction::triggered, this, &CTsumugiya_Dlg::ToggleAutoBackup);
    autoBackupTimer_.setSingleShot(true);
    // A coarse timer may fire up to 5% early: one more wake-up for nothing.
    autoBackupTimer_.setTimerType(Qt::PreciseTimer);
    connect(&autoBackupTimer_, &QTimer::timeout, this, [this] { OnAutoBackupTimer(); });
    setWindowIcon(ProgramIcon());
    StartUp(executable_);
    controls_.Require<QPushButton>(kIdBackup).setFocus();
}

void CTsumugiya_Dlg::DressControls() {
    QFont dialogFont(StandInFamily(QString::fromUtf8(kDialogFontFace)));
    dialogFont.setPointSize(kDialogFontPoints);
    for (const int id : kDialogFontControls) {
        controls_.Require<QWidget>(id).setFont(dialogFont);
    }
    controls_.FitCaptions();
    controls_.Require<QCheckBox>(kIdConfirmOnRestore).setChecked(true);

    // The face of the dialog, its labels, check box and group boxes; the
    // memo field and the lists keep their own base colour.
    QPalette face = palette();
    face.setColor(QPalette::Window,
                  QColor(kBackgroundColour.red, kBackgroundColour.green, kBackgroundColour.blue));
    setPalette(face);
    setAutoFillBackground(true);
}

void CTsumugiya_Dlg::TellOnceShown(const std::string& text) {
    QTimer::singleShot(0, this, [this, text] { Tell(text); });
}

void CTsumugiya_Dlg::ConnectCommands() {
    const auto onClick = [this](int id, auto handler) {
        connect(&controls_.Require<QPushButton>(id), &QPushButton::clicked, this, handler);
    };
    onClick(kIdRestore, [this] { OnRestore(); });
    onClick(kIdBackup, [this] { OnBackup(); });
    onClick(kIdDelete, [this] { OnDelete(); });
    onClick(kIdOpenFolder, [this] { OnOpenFolder(); });
    onClick(kIdClearMemo, [this] { OnClearMemo(); });
    onClick(kIdFixedNameBackup, [this] { OnFixedNameBackup(); });
    onClick(kIdSelectSaveFile, [this] { OnSelectSaveFile(); });
    onClick(kIdRefresh, [this] { OnRefresh(); });
    onClick(kIdOk, [this] { accept(); });
    connect(controls_.Require<QListView>(kIdMapList).selectionModel(),
            &QItemSelectionModel::currentRowChanged, this, [this] { OnSelChangeMapList(); });
    auto& memo = controls_.Require<QLineEdit>(kIdMemo);
    memo.setValidator(new MemoValidator([this] { return static_cast<int>(MemoRoom()); },
                                        [this](const QString& why) { ShowMemoRefusal(why); },
                                        &memo));
}

// A memo that no longer fits (another save file was picked) goes as it is:
// the backup then says why it cannot be made rather than cut it quietly.
std::string CTsumugiya_Dlg::MemoText() const {
    return controls_.Require<QLineEdit>(kIdMemo).text().toStdString();
}

void CTsumugiya_Dlg::ShowMemoRefusal(const QString& why) {
    // Just below the field, where the eyes are while typing, as a file
    // manager says why it refuses a character in a name.
    auto& memo = controls_.Require<QLineEdit>(kIdMemo);
    QToolTip::showText(memo.mapToGlobal(QPoint(0, memo.height())), why, &memo);
}

bool CTsumugiya_Dlg::IsConfirmOnRestore() const {
    return controls_.Require<QCheckBox>(kIdConfirmOnRestore).isChecked();
}

bool CTsumugiya_Dlg::ShowBox(std::string_view text, bool withCancel) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), FromUtf8(text),
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);  // a path with markup in it is shown as it is
    if (withCancel) {
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    }
    return box.exec() == QMessageBox::Ok;
}

void CTsumugiya_Dlg::SetStatus(std::string_view text) {
    status_.Show(FromUtf8(text));
}

// In the title, like the notes; the copy runs on this thread, so the window
// is painted here. Clicks and keys wait until the command is over; a close
// from the window manager waits for the copy's end.
void CTsumugiya_Dlg::ShowProgress(std::string_view text, std::uint64_t, std::uint64_t) {
    status_.Show(FromUtf8(text));
    copying_ = !text.empty();
    if (copying_) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else if (endAfterCopy_) {
        QTimer::singleShot(0, this, [this, result = *endAfterCopy_] { done(result); });
        endAfterCopy_.reset();
    }
}

void CTsumugiya_Dlg::OnOpenFolder() {
    const std::filesystem::path& folder = locations_.BackupFolder();
    if (folder.empty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(folder)))) {
        Tell(std::string(messages::kFolderNotOpened) + "\n" + folder.string());
    }
}

void CTsumugiya_Dlg::OnClearMemo() {
    controls_.Require<QLineEdit>(kIdMemo).clear();
}

void CTsumugiya_Dlg::OnSelectSaveFile() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A name that does not exist yet is taken once the user confirms it;
    // nothing is created.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("saveファイル (*.*)"));
    const QString saveFolder = FromPath(locations_.SaveFolder());
    if (!saveFolder.isEmpty() && QFileInfo(saveFolder).isDir()) {
        dialog.setDirectory(saveFolder);
    }
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return;
        }
        const QString path = dialog.selectedFiles().constFirst();
        if (QFileInfo::exists(path) || AskOkCancel(QFile::encodeName(path).toStdString() + "\n" +
                                                   std::string(messages::kSaveFileNotThere))) {
            AdoptSaveFile(path);
            return;
        }
    }
}

void CTsumugiya_Dlg::AdoptSaveFile(const QString& path) {
    const std::string bytes = QFile::encodeName(path).toStdString();
    // A name the file dialog could not decode comes back with U+FFFD in it
    // and would lead to a look-alike file, not the one picked.
    if (path.contains(QChar::ReplacementCharacter) || !locations_.SetSaveFile(bytes)) {
        Tell(std::string(messages::kSavePathRefused) + "\n" + bytes);
        return;
    }
    ShowSavePath();
    OnSaveFileChosen();
}

void CTsumugiya_Dlg::ShowSavePath() {
    auto& field = controls_.Require<QLabel>(kIdSavePath);
    const QString path = FromPath(locations_.SavePath());
    // A long path loses its middle rather than its file name.
    const int room = field.contentsRect().width() - 2 * field.indent();
    field.setText(field.fontMetrics().elidedText(path, Qt::ElideMiddle, room));
    field.setToolTip(path);
}

void CTsumugiya_Dlg::OnSelChangeMapList() {
    const auto& maps = controls_.Require<QListView>(kIdMapList);
    const QModelIndex row = maps.model()->index(qMax(maps.currentIndex().row(), 0), 0);
    controls_.Require<QLabel>(kIdMapName).setText(row.data().toString());
}

void CTsumugiya_Dlg::ShowAboutBox() {
    CAboutDlg about(this);
    about.exec();
}

void CTsumugiya_Dlg::ShowHotkeysDialog() {
    // Keys this window holds would never reach the dialog that records them.
    const bool letGo = keys_ && keys_->LetGo();
    CHotkeysDlg dialog(this, Hotkeys());
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const auto failure = accepted ? ChangeHotkeys(dialog.Chosen()) : std::nullopt;
    if (failure) {
        Tell(*failure);
    }
    if (letGo && (!accepted || failure)) {
        GrabHotkeys(ActiveBindings(Hotkeys()));
    }
}

void CTsumugiya_Dlg::ToggleAutoBackup() {
    if (const auto failure = SetAutoBackup(!IsAutoBackupOn())) {
        Tell(*failure);
    }
}

// Each call comes with a new watcher, whose descriptor may reuse the old one's
// number: the notifier is made afresh.
void CTsumugiya_Dlg::WatchAutoBackup(std::optional<std::intptr_t> waitable) {
    autoBackupReady_.reset();
    if (waitable) {
        autoBackupReady_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(*waitable),
                                                             QSocketNotifier::Read);
        connect(autoBackupReady_.get(), &QSocketNotifier::activated, this,
                [this] { OnAutoBackupReady(); });
    }
}

void CTsumugiya_Dlg::ArmAutoBackupTimer(
    std::optional<std::chrono::steady_clock::time_point> deadline) {
    if (!deadline) {
        autoBackupTimer_.stop();
        return;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
    autoBackupTimer_.start(std::max(left, std::chrono::milliseconds::zero()));
}

void CTsumugiya_Dlg::ShowPlainTitle() {
    status_.SetPlainTitle(FromUtf8(PlainTitle()));
}

std::vector<HotkeyAction> CTsumugiya_Dlg::GrabHotkeys(const HotkeyBindings& bindings) {
    if (keys_) {
        return keys_->Grab(bindings);
    }
    std::vector<HotkeyAction> refused;
    for (const auto& binding : bindings) {
        refused.push_back(binding.first);
    }
    return refused;
}

std::optional<std::string_view> CTsumugiya_Dlg::NoGlobalKeys() const {
    if (keys_) {
        return std::nullopt;
    }
    return messages::kHotkeysNeedDesktopShortcut;
}

void CTsumugiya_Dlg::Notify(const HotkeyReport& report) {
    SendDesktopNotification(QDBusConnection::sessionBus(), report);
}

void CTsumugiya_Dlg::done(int result) {
    if (copying_) {
        endAfterCopy_ = result;
        return;
    }
    if (!ended_) {
        ended_ = true;
        OnDestroy();
    }
    QDialog::done(result);
}

void CTsumugiya_Dlg::OnDestroy() {
    if (const auto failure = SaveSettingsAtClose()) {
        Tell(*failure);
    }
}

void CTsumugiya_Dlg::keyPressEvent(QKeyEvent* event) {
    // Enter that no visible push button took is the hidden default button's:
    // it ends the dialog like the close box.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        controls_.Require<QPushButton>(kIdOk).click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CTsumugiya_Dlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    if (aboutAction_) {
        menu.addAction(aboutAction_);
    }
    menu.addAction(hotkeysAction_);
    autoBackupAction_->setChecked(IsAutoBackupOn());
    menu.addAction(autoBackupAction_);
    menu.exec(event->globalPos());
}

}  // namespace tsumugiya::ui
