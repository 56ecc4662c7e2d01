#pragma once

#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "AppLocations.h"
#include "CueChild.h"
#include "GlobalKeys.h"
#include "ListBoxBackupList.h"
#include "TemplateControls.h"
#include "TitleStatus.h"
#include "WindowHost.h"

class QAction;

namespace tsumugiya::ui {

// The program's one window: the buttons call the backup commands, which
// reach the window back through CommandHost.
class CTsumugiya_Dlg : public QDialog, public WindowHost {
    Q_OBJECT

  public:
    // Sets up the window and, interleaved with that, the locations of the
    // program at this executable path and the backup list; the global keys
    // come from keys.
    CTsumugiya_Dlg(AppLocations& locations, std::filesystem::path executable,
                   QWidget* parent = nullptr, const GlobalKeysSource& keys = SystemGlobalKeys);

    QWidget* Control(int id) const { return controls_.Control(id); }

    // CommandHost
    std::string MemoText() const override;
    bool IsConfirmOnRestore() const override;
    void SetStatus(std::string_view text) override;
    void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) override;

    // The window's own commands.
    void OnOpenFolder();
    void OnClearMemo();
    void OnSelectSaveFile();
    // Makes a picked path the save file, or says why it cannot be one.
    void AdoptSaveFile(const QString& path);
    void OnSelChangeMapList();
    void ShowAboutBox();
    void ShowHotkeysDialog();
    void ToggleAutoBackup();

  protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    // WindowHost
    BackupList& List() override { return backupList_; }
    bool ShowBox(std::string_view text, bool withCancel) override;
    void DressControls() override;
    void ShowSavePath() override;
    void TellOnceShown(const std::string& text) override;
    std::vector<HotkeyAction> GrabHotkeys(const HotkeyBindings& bindings) override;
    std::optional<std::string_view> NoGlobalKeys() const override;
    CuePlayer& Cues() override { return cues_; }
    void Notify(const HotkeyReport& report) override;
    void WatchAutoBackup(std::optional<std::intptr_t> waitable) override;
    void ArmAutoBackupTimer(std::optional<std::chrono::steady_clock::time_point> deadline) override;
    void ShowPlainTitle() override;

  private:
    void OnInitDialog();
    void ConnectCommands();
    // Says why typed or pasted text was left out of the memo.
    void ShowMemoRefusal(const QString& why);
    void OnDestroy();

    AppLocations& locations_;
    const std::filesystem::path executable_;
    TemplateControls controls_;
    ListBoxBackupList backupList_;
    TitleStatus status_;
    QAction* aboutAction_ = nullptr;
    QAction* hotkeysAction_ = nullptr;
    QAction* autoBackupAction_ = nullptr;
    // The automatic backups' wait: the watcher's descriptor and its deadline.
    std::unique_ptr<QSocketNotifier> autoBackupReady_;
    QTimer autoBackupTimer_;
    ChildProcessCues cues_;
    std::unique_ptr<GlobalKeys> keys_;  // null where the desktop gives none
    bool ended_ = false;
    bool copying_ = false;
    std::optional<int> endAfterCopy_;  // a close that came while a copy ran
};

}  // namespace tsumugiya::ui
