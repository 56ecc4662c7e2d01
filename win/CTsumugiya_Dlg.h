#pragma once

#include <filesystem>
#include <string>

#include "AppLocations.h"
#include "BackupCommands.h"
#include "Handles.h"
#include "ListBoxBackupList.h"
#include "MemoTip.h"
#include "ModalDialog.h"
#include "TitleStatus.h"
#include "Tooltip.h"
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
    bool AskOkCancel(std::string_view text) override;
    void Tell(std::string_view text) override;
    void SetStatus(std::string_view text) override;
    void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) override;

  private:
    friend struct CTsumugiya_DlgMap;

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
    // The buttons.
    void OnBackup();
    void OnFixedNameBackup();
    void OnRestore();
    void OnDelete();
    void OnOpenFolder();
    void OnRefresh();
    void OnClearMemo();
    void OnSelectSaveFile();
    void OnSelChangeMapList();
    // The memo rule, as each edit is made.
    void OnMemoChange();
    void OnMemoKillFocus();

    void AddAboutItem();
    void SetDialogFont(UINT dpi);
    void ShowSavePath();
    // Makes a picked path the save file, or says why it cannot be one.
    void AdoptSaveFile(const std::wstring& path);
    int Ask(std::string_view text, UINT buttons);

    AppLocations& locations_;
    const std::filesystem::path executable_;
    const std::wstring programName_;
    HICON icon_ = nullptr;       // shared: owned by the system
    HICON smallIcon_ = nullptr;  // shared: owned by the system
    Font dialogFont_;
    Brush background_;
    ListBoxBackupList backupList_;
    BackupCommands commands_;
    TitleStatus status_;
    MemoTip memoTip_;
    Tooltip savePathTip_;
    std::string startProblems_;
    bool fittingMemo_ = false;
};

}  // namespace tsumugiya::win
