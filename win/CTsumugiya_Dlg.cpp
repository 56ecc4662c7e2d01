#include "CTsumugiya_Dlg.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "BackupNames.h"
#include "CAboutDlg.h"
#include "CHotkeysDlg.h"
#include "FitCaptions.h"
#include "MainDialog.h"
#include "MemoField.h"
#include "Messages.h"
#include "Resource.h"
#include "platform/win32/Win32.h"

namespace tsumugiya::win {

using platform::win32::Narrow;
using platform::win32::Wide;

namespace {

// Posted at start-up, so that what went wrong is said with the window up.
constexpr UINT kMsgStartProblems = WM_APP + 1;
// The notification icon's messages from the shell.
constexpr UINT kMsgTrayBalloon = WM_APP + 2;
// The automatic backups' folder watch is ready.
constexpr UINT kMsgAutoBackup = WM_APP + 3;

COLORREF BackgroundColour() {
    return RGB(kBackgroundColour.red, kBackgroundColour.green, kBackgroundColour.blue);
}

std::wstring WideOf(const std::filesystem::path& path) {
    return Wide(platform::Utf8Of(path));
}

}  // namespace

// The message map: a message no row names goes to the dialog manager.
struct CTsumugiya_DlgMap {
    using D = CTsumugiya_Dlg;
    using Entry = MessageEntry<D>;
    static constexpr Entry kEntries[] = {
        {WM_INITDIALOG, 0, 0, &OnMessageOf<D, &D::OnInitDialog>},
        {WM_SYSCOMMAND, 0, 0, &OnMessageOf<D, &D::OnSysCommand>},
        {WM_PAINT, 0, 0, &OnMessageOf<D, &D::OnPaint>},
        {WM_QUERYDRAGICON, 0, 0, &OnMessageOf<D, &D::OnQueryDragIcon>},
        {WM_COMMAND, kIdRestore, BN_CLICKED, &OnCommandOf<D, &D::OnRestore>},
        {WM_COMMAND, kIdBackup, BN_CLICKED, &OnCommandOf<D, &D::OnBackup>},
        {WM_TIMER, 0, 0, &OnMessageOf<D, &D::OnTimer>},
        {WM_COMMAND, kIdDelete, BN_CLICKED, &OnCommandOf<D, &D::OnDelete>},
        {WM_COMMAND, kIdOpenFolder, BN_CLICKED, &OnCommandOf<D, &D::OnOpenFolder>},
        {WM_CTLCOLORDLG, 0, 0, &OnMessageOf<D, &D::OnCtlColorDlg>},
        {WM_CTLCOLORSTATIC, 0, 0, &OnMessageOf<D, &D::OnCtlColorStatic>},
        {WM_DESTROY, 0, 0, &OnMessageOf<D, &D::OnDestroy>},
        {WM_COMMAND, kIdMapList, LBN_SELCHANGE, &OnCommandOf<D, &D::OnSelChangeMapList>},
        {WM_COMMAND, kIdClearMemo, BN_CLICKED, &OnCommandOf<D, &D::OnClearMemo>},
        {WM_COMMAND, kIdFixedNameBackup, BN_CLICKED, &OnCommandOf<D, &D::OnFixedNameBackup>},
        {WM_COMMAND, kIdSelectSaveFile, BN_CLICKED, &OnCommandOf<D, &D::OnSelectSaveFile>},
        {WM_COMMAND, kIdRefresh, BN_CLICKED, &OnCommandOf<D, &D::OnRefresh>},
        // Enter outside a push button (the hidden default button 1), Esc, the
        // close box and Alt+F4 end the dialog.
        {WM_COMMAND, IDOK, BN_CLICKED, &OnMessageOf<D, &D::OnEnd>},
        {WM_COMMAND, IDCANCEL, BN_CLICKED, &OnMessageOf<D, &D::OnEnd>},
        {WM_COMMAND, kIdMemo, EN_CHANGE, &OnCommandOf<D, &D::OnMemoChange>},
        {WM_COMMAND, kIdMemo, EN_KILLFOCUS, &OnCommandOf<D, &D::OnMemoKillFocus>},
        {WM_DPICHANGED, 0, 0, &OnMessageOf<D, &D::OnDpiChanged>},
        {kMsgStartProblems, 0, 0, &OnMessageOf<D, &D::OnStartProblems>},
        {WM_HOTKEY, 0, 0, &OnMessageOf<D, &D::OnHotkeyMessage>},
        {kMsgTrayBalloon, 0, 0, &OnMessageOf<D, &D::OnTrayBalloon>},
        {kMsgAutoBackup, 0, 0, &OnMessageOf<D, &D::OnAutoBackupMessage>},
    };
};

CTsumugiya_Dlg::CTsumugiya_Dlg(AppLocations& locations, std::filesystem::path executable,
                               std::wstring programName)
    : ModalDialog(kIdMainDialog),
      WindowHost(locations),
      locations_(locations),
      executable_(std::move(executable)),
      programName_(std::move(programName)),
      status_(Wide(kMainDialogCaption)),
      cues_(executable_),
      selfElevated_(IsSelfElevated()),
      foregroundWatch_([this](bool elevated) { OnForeground(elevated); }),
      autoBackupWait_(kMsgAutoBackup) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    icon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kIdMainIcon), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXICON),
                                            ::GetSystemMetrics(SM_CYICON), LR_SHARED));
    smallIcon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kIdMainIcon),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

INT_PTR CTsumugiya_Dlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Dispatch<CTsumugiya_Dlg>(CTsumugiya_DlgMap::kEntries, *this, message, wParam, lParam);
}

INT_PTR CTsumugiya_Dlg::OnInitDialog(WPARAM, LPARAM) {
    backupList_.Attach(Handle(), Item(kIdBackupList));
    status_.Attach(Handle());
    autoBackupWait_.Attach(Handle());
    autoBackupTimer_.Attach(Handle());
    AddMenuItems();
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    balloon_.Attach(Handle(), kMsgTrayBalloon, smallIcon_);
    StartUp(executable_);
    memoTip_.Attach(Handle(), Item(kIdMemo));
    CentreOverOwner();
    // The backup button, so that Enter at start makes a backup.
    ::SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(kIdBackup)), TRUE);
    return FALSE;  // the focus is set
}

void CTsumugiya_Dlg::DressControls() {
    SetDialogFont(::GetDpiForWindow(Handle()));
    FitCaptions(Handle());
    SendItem(kIdConfirmOnRestore, BM_SETCHECK, BST_CHECKED);
    background_.Reset(::CreateSolidBrush(BackgroundColour()));
    // A long path loses its middle rather than its file name; the whole
    // path shows when the mouse rests on it.
    const HWND savePath = Item(kIdSavePath);
    ::SetWindowLongPtrW(savePath, GWL_STYLE,
                        ::GetWindowLongPtrW(savePath, GWL_STYLE) | SS_PATHELLIPSIS);
    savePathTip_.AttachHover(Handle(), savePath);
}

void CTsumugiya_Dlg::TellOnceShown(const std::string& text) {
    startProblems_ = text;
    ::PostMessageW(Handle(), kMsgStartProblems, 0, 0);
}

void CTsumugiya_Dlg::AddMenuItems() {
    const HMENU menu = ::GetSystemMenu(Handle(), FALSE);
    const wchar_t* text = nullptr;
    // Without a buffer LoadStringW gives the resource's own read-only text.
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), kIdAboutMenuString,
                                     reinterpret_cast<wchar_t*>(&text), 0);
    if (!menu || length <= 0) {
        return;
    }
    const std::wstring item(text, static_cast<std::size_t>(length));
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kIdmAutoBackup, Wide(messages::kAutoBackupItem).c_str());
    ::AppendMenuW(menu, MF_STRING, kIdmHotkeys, Wide(messages::kHotkeysDialogTitle).c_str());
    ::AppendMenuW(menu, MF_STRING, kIdmAboutBox, item.c_str());
}

void CTsumugiya_Dlg::SetDialogFont(UINT dpi) {
    LOGFONTW face{};
    face.lfHeight =
        -::MulDiv(kDialogFontPoints, static_cast<int>(dpi ? dpi : USER_DEFAULT_SCREEN_DPI), 72);
    face.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(face.lfFaceName, Wide(kDialogFontFace).c_str(), LF_FACESIZE);
    Font font(::CreateFontIndirectW(&face));
    if (!font.Get()) {
        return;
    }
    for (const int id : kDialogFontControls) {
        SendItem(id, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    }
    // The controls hold the new font now; the old one can go.
    dialogFont_.Reset(font.Release());
}

INT_PTR CTsumugiya_Dlg::OnStartProblems(WPARAM, LPARAM) {
    Tell(startProblems_);
    return TRUE;
}

INT_PTR CTsumugiya_Dlg::OnEnd(WPARAM wParam, LPARAM) {
    ::EndDialog(Handle(), LOWORD(wParam));
    return TRUE;
}

INT_PTR CTsumugiya_Dlg::OnDestroy(WPARAM, LPARAM) {
    ::KillTimer(Handle(), TitleStatus::kTimerId);
    autoBackupTimer_.Arm(std::nullopt);
    autoBackupWait_.Watch(std::nullopt);
    memoTip_.Hide();
    // The keys go back to the system with the window that received them.
    foregroundWatch_.Stop();
    globalHotkeys_.Release();
    balloon_.Remove();
    if (const auto failure = SaveSettingsAtClose()) {
        // The window is going: the box has no owner.
        ::MessageBoxW(nullptr, Wide(*failure).c_str(), programName_.c_str(), MB_OK | MB_TASKMODAL);
    }
    background_.Reset();
    return FALSE;
}

INT_PTR CTsumugiya_Dlg::OnSysCommand(WPARAM wParam, LPARAM) {
    switch (wParam & 0xFFF0) {
        case kIdmAboutBox: {
            CAboutDlg about;
            about.RunModal(Handle());
            return TRUE;
        }
        case kIdmAutoBackup:
            OnAutoBackupItem();
            return TRUE;
        case kIdmHotkeys: {
            CHotkeysDlg hotkeys(
                Hotkeys(), [this](const HotkeySettings& shown) { return ChangeHotkeys(shown); },
                programName_);
            hotkeys.RunModal(Handle());
            return TRUE;
        }
        default:
            return FALSE;  // move, minimise, close and the rest: the default
    }
}

std::vector<HotkeyAction> CTsumugiya_Dlg::GrabHotkeys(const HotkeyBindings& bindings) {
    auto refused = globalHotkeys_.Grab(Handle(), bindings);
    // The front window is watched only while a key can be pressed in it.
    if (globalHotkeys_.Any()) {
        foregroundWatch_.Start();
    } else {
        foregroundWatch_.Stop();
    }
    return refused;
}

INT_PTR CTsumugiya_Dlg::OnHotkeyMessage(WPARAM wParam, LPARAM) {
    if (const auto action = globalHotkeys_.ActionOf(wParam)) {
        OnHotkey(*action);
    }
    return TRUE;
}

void CTsumugiya_Dlg::Notify(const HotkeyReport& report) {
    balloon_.Show(Wide(report.notificationSummary), Wide(report.notificationBody));
}

INT_PTR CTsumugiya_Dlg::OnTrayBalloon(WPARAM, LPARAM lParam) {
    balloon_.OnCallback(lParam);
    return TRUE;
}

void CTsumugiya_Dlg::OnAutoBackupItem() {
    if (const auto failure = SetAutoBackup(!IsAutoBackupOn())) {
        Tell(*failure);
    }
}

void CTsumugiya_Dlg::WatchAutoBackup(std::optional<std::intptr_t> waitable) {
    autoBackupWait_.Watch(waitable ? std::optional(reinterpret_cast<HANDLE>(*waitable))
                                   : std::nullopt);
}

INT_PTR CTsumugiya_Dlg::OnAutoBackupMessage(WPARAM wParam, LPARAM) {
    if (autoBackupWait_.Take(wParam)) {
        OnAutoBackupReady();
        autoBackupWait_.Rearm();
    }
    return TRUE;
}

void CTsumugiya_Dlg::ArmAutoBackupTimer(
    std::optional<std::chrono::steady_clock::time_point> deadline) {
    autoBackupTimer_.Arm(deadline);
}

// The menu's check mark goes with the title's mark: both show whether the
// watch is on, which changes only where the plain title does.
void CTsumugiya_Dlg::ShowPlainTitle() {
    status_.SetPlainTitle(Wide(PlainTitle()));
    ::CheckMenuItem(::GetSystemMenu(Handle(), FALSE), kIdmAutoBackup,
                    MF_BYCOMMAND | (IsAutoBackupOn() ? MF_CHECKED : MF_UNCHECKED));
}

void CTsumugiya_Dlg::OnForeground(bool elevated) {
    if (const auto hint =
            elevationHint_.OnForeground(globalHotkeys_.Any(), elevated, selfElevated_)) {
        SetStatus(*hint);
    }
}

INT_PTR CTsumugiya_Dlg::OnPaint(WPARAM, LPARAM) {
    if (!::IsIconic(Handle())) {
        return FALSE;
    }
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(Handle(), &paint);
    ::SendMessageW(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int width = ::GetSystemMetrics(SM_CXICON);
    const int height = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    ::GetClientRect(Handle(), &client);
    ::DrawIcon(dc, (client.right - client.left - width + 1) / 2,
               (client.bottom - client.top - height + 1) / 2, icon_);
    ::EndPaint(Handle(), &paint);
    return TRUE;
}

INT_PTR CTsumugiya_Dlg::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<INT_PTR>(icon_);
}

INT_PTR CTsumugiya_Dlg::OnCtlColorDlg(WPARAM wParam, LPARAM) {
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<INT_PTR>(background_.Get());
}

INT_PTR CTsumugiya_Dlg::OnCtlColorStatic(WPARAM wParam, LPARAM) {
    // Labels, the check box and the group boxes on the dialog's face. Their
    // text keeps its opaque background, in the face's colour rather than
    // the system's grey.
    const auto dc = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, BackgroundColour());
    return reinterpret_cast<INT_PTR>(background_.Get());
}

INT_PTR CTsumugiya_Dlg::OnTimer(WPARAM wParam, LPARAM) {
    if (wParam == MemoTip::kTimerId) {
        memoTip_.Hide();
        return TRUE;
    }
    if (wParam == TrayBalloon::kTimerId) {
        balloon_.OnTimer();
        return TRUE;
    }
    if (autoBackupTimer_.Fired(wParam)) {
        OnAutoBackupTimer();
        return TRUE;
    }
    status_.OnTimer();
    return TRUE;
}

INT_PTR CTsumugiya_Dlg::OnDpiChanged(WPARAM wParam, LPARAM) {
    // The dialog manager scales the template's font; the 12-point font is ours.
    SetDialogFont(HIWORD(wParam));
    return FALSE;  // the dialog manager resizes the window
}

void CTsumugiya_Dlg::OnOpenFolder() {
    const std::filesystem::path& folder = locations_.BackupFolder();
    const auto opened = reinterpret_cast<INT_PTR>(
        folder.empty() ? nullptr
                       : ::ShellExecuteW(nullptr, L"open", WideOf(folder).c_str(), nullptr, nullptr,
                                         SW_SHOWNORMAL));
    // ShellExecuteW says success with a value above 32.
    if (opened <= 32) {
        Tell(std::string(messages::kFolderNotOpened) + "\n" + platform::Utf8Of(folder));
    }
}

void CTsumugiya_Dlg::OnClearMemo() {
    ::SetDlgItemTextW(Handle(), kIdMemo, L"");
}

void CTsumugiya_Dlg::OnSelectSaveFile() {
    // Long enough for any path Windows takes.
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring folder = Wide(locations_.SaveFolder());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Handle();
    dialog.lpstrFilter = L"saveファイル (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    // A name that does not exist yet is taken once the dialog has asked;
    // nothing is created.
    dialog.Flags = OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_EXPLORER;
    if (::GetOpenFileNameW(&dialog)) {
        AdoptSaveFile(file.data());
    }
}

void CTsumugiya_Dlg::AdoptSaveFile(const std::wstring& path) {
    const std::string bytes = StrictUtf8(path);
    // A name with a lone surrogate has no UTF-8: any text made of it would
    // lead to a look-alike file, not the one picked.
    if (!IsValidUtf8(bytes) || !locations_.SetSaveFile(bytes)) {
        Tell(std::string(messages::kSavePathRefused) + "\n" + Narrow(path));
        return;
    }
    ShowSavePath();
    OnSaveFileChosen();
}

void CTsumugiya_Dlg::ShowSavePath() {
    const std::wstring path = WideOf(locations_.SavePath());
    ::SetDlgItemTextW(Handle(), kIdSavePath, path.c_str());
    savePathTip_.SetText(path);
}

void CTsumugiya_Dlg::OnSelChangeMapList() {
    const HWND maps = Item(kIdMapList);
    LRESULT index = ::SendMessageW(maps, LB_GETCURSEL, 0, 0);
    index = index == LB_ERR ? 0 : index;
    const LRESULT length = ::SendMessageW(maps, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring text(length == LB_ERR ? 0 : static_cast<std::size_t>(length) + 1, L'\0');
    if (!text.empty()) {
        ::SendMessageW(maps, LB_GETTEXT, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(text.data()));
    }
    ::SetDlgItemTextW(Handle(), kIdMapName, text.c_str());
}

void CTsumugiya_Dlg::OnMemoChange() {
    if (fittingMemo_) {
        return;
    }
    fittingMemo_ = true;  // setting the fitted text changes it again
    const auto reasons = FitMemoControl(Item(kIdMemo), MemoRoom());
    fittingMemo_ = false;
    if (reasons) {
        memoTip_.Show(Wide(*reasons));
    }
}

void CTsumugiya_Dlg::OnMemoKillFocus() {
    memoTip_.Hide();
}

// A memo that no longer fits (another save file was picked) goes as it is:
// the backup then says why it cannot be made rather than cut it quietly.
std::string CTsumugiya_Dlg::MemoText() const {
    return StrictUtf8(ItemText(Item(kIdMemo)));
}

bool CTsumugiya_Dlg::IsConfirmOnRestore() const {
    return SendItem(kIdConfirmOnRestore, BM_GETCHECK) != BST_UNCHECKED;
}

bool CTsumugiya_Dlg::ShowBox(std::string_view text, bool withCancel) {
    // No icon; the caption is the program's name.
    return ::MessageBoxW(Handle(), Wide(text).c_str(), programName_.c_str(),
                         withCancel ? MB_OKCANCEL | MB_DEFBUTTON1 : MB_OK) == IDOK;
}

void CTsumugiya_Dlg::SetStatus(std::string_view text) {
    status_.Show(Wide(text));
}

// In the title, like the notes; the copy runs on this thread, so the window
// is painted here. Only paint messages are taken: clicks and keys wait until
// the command is over. The count bounds a window that never stops asking
// to be painted.
void CTsumugiya_Dlg::ShowProgress(std::string_view text, std::uint64_t, std::uint64_t) {
    status_.Show(Wide(text));
    MSG message;
    for (int i = 0; i < 64 && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT);
         ++i) {
        ::DispatchMessageW(&message);
    }
}

}  // namespace tsumugiya::win
