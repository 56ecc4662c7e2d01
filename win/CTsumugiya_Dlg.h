#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "AppLocations.h"
#include "DeadlineTimer.h"
#include "EventWait.h"
#include "ForegroundWatch.h"
#include "GlobalHotkeys.h"
#include "Handles.h"
#include "ListBoxBackupList.h"
#include "MemoTip.h"
#include "ModalDialog.h"
#include "ResourceCues.h"
#include "TitleStatus.h"
#include "Tooltip.h"
#include "TrayBalloon.h"
#include "WindowHost.h"

namespace tsumugiya::win {

// The program's one window on template 102: the buttons call the backup
// commands through the message map, and the commands reach the window back
// through CommandHost.
class CTsumugiya_Dlg : public ModalDialog, public WindowHost {
  public:
    // programName captions the message boxes (the executable's base name).
    CTsumugiya_Dlg(AppLocations& locations, std::filesystem::path executable,
                   std::wstring programName);

    // CommandHost
    std::string MemoText() const override;
    bool IsConfirmOnRestore() const override;
    void SetStatus(std::string_view text) override;
    void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) override;

  private:
    friend struct CTsumugiya_DlgMap;

    // WindowHost
    BackupList& List() override { return backupList_; }
    bool ShowBox(std::string_view text, bool withCancel) override;
    void DressControls() override;
    void ShowSavePath() override;
    void TellOnceShown(const std::string& text) override;
    std::vector<HotkeyAction> GrabHotkeys(const HotkeyBindings& bindings) override;
    CuePlayer& Cues() override { return cues_; }
    void Notify(const HotkeyReport& report) override;
    void WatchAutoBackup(std::optional<std::intptr_t> waitable) override;
    void ArmAutoBackupTimer(std::optional<std::chrono::steady_clock::time_point> deadline) override;
    void ShowPlainTitle() override;

    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Start-up and end (the order matters: see OnInitDialog).
    INT_PTR OnInitDialog(WPARAM, LPARAM);
    INT_PTR OnStartProblems(WPARAM, LPARAM);
    INT_PTR OnEnd(WPARAM wParam, LPARAM);
    INT_PTR OnDestroy(WPARAM, LPARAM);
    // The system menu, minimised painting, colours, DPI.
    INT_PTR OnSysCommand(WPARAM wParam, LPARAM);
    INT_PTR OnPaint(WPARAM, LPARAM);
    INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
    INT_PTR OnCtlColorDlg(WPARAM wParam, LPARAM);
    INT_PTR OnCtlColorStatic(WPARAM wParam, LPARAM);
    INT_PTR OnTimer(WPARAM wParam, LPARAM);
    INT_PTR OnDpiChanged(WPARAM wParam, LPARAM);
    // A global hotkey, and the notification balloon's comings and goings.
    INT_PTR OnHotkeyMessage(WPARAM wParam, LPARAM);
    INT_PTR OnTrayBalloon(WPARAM, LPARAM lParam);
    // The save's folder changed while the automatic backups are on.
    INT_PTR OnAutoBackupMessage(WPARAM wParam, LPARAM);
    // Another program came to the front while the hotkeys are on.
    void OnForeground(bool elevated);
    // The buttons only this window handles its own way.
    void OnOpenFolder();
    void OnClearMemo();
    void OnSelectSaveFile();
    void OnSelChangeMapList();
    // The memo rule, as each edit is made.
    void OnMemoChange();
    void OnMemoKillFocus();

    // The system menu's 自動バックアップ, ホットキー… and version items.
    void AddMenuItems();
    void OnAutoBackupItem();
    void SetDialogFont(UINT dpi);
    // Makes a picked path the save file, or says why it cannot be one.
    void AdoptSaveFile(const std::wstring& path);

    AppLocations& locations_;
    const std::filesystem::path executable_;
    const std::wstring programName_;
    HICON icon_ = nullptr;       // shared: owned by the system
    HICON smallIcon_ = nullptr;  // shared: owned by the system
    Font dialogFont_;
    Brush background_;
    ListBoxBackupList backupList_;
    TitleStatus status_;
    MemoTip memoTip_;
    Tooltip savePathTip_;
    std::string startProblems_;
    bool fittingMemo_ = false;
    GlobalHotkeys globalHotkeys_;
    ChildProcessCues cues_;
    TrayBalloon balloon_;
    ElevationHint elevationHint_;
    const bool selfElevated_;
    ForegroundWatch foregroundWatch_;
    EventWait autoBackupWait_;
    DeadlineTimer autoBackupTimer_;
};

}  // namespace tsumugiya::win
