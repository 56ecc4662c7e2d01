#pragma once

// Every text the core shows the user, byte for byte.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace tsumugiya::messages {

inline constexpr std::string_view kNameTaken = "同じ名前のファイルがあります。";
inline constexpr std::string_view kBackupCopyFailed = "!!! セーブファイルのコピーに失敗しました。";
inline constexpr std::string_view kBackedUpSuffix = " にバックアップ";
inline constexpr std::string_view kMultipleSelection = "!!! 複数のファイルは選択できません。";
inline constexpr std::string_view kConfirmRestore = "元のセーブファイルを上書きしていいですか？";
inline constexpr std::string_view kRestoreCopyFailed =
    "!!! 01: セーブファイルのコピーに失敗しました。";
inline constexpr std::string_view kRestored = " 選択ファイルをロード";
inline constexpr std::string_view kConfirmDelete = "削除していいですか？";
inline constexpr std::string_view kSafetyCopyFailed =
    "!!! 元のセーブファイルの控えを作れなかったので、戻すのをやめました。";
inline constexpr std::string_view kNoSaveFileChosen = "セーブファイルが選ばれていません。";
// Where a save path is shown and none is chosen.
inline constexpr std::string_view kNoSaveFileShown = "（選ばれていません）";
inline constexpr std::string_view kKeepBeforeRestoreFailed =
    "!!! 戻す前の控えをバックアップできなかったので、戻すのをやめました。";
inline constexpr std::string_view kNoBackupName = "バックアップ名を作れません。";
inline constexpr std::string_view kNoBackupFolder = "バックアップフォルダーがありません";
inline constexpr std::string_view kKeepNameTooLong =
    "セーブファイルの名前が長すぎて、バックアップ名を作れません";
inline constexpr std::string_view kNoFreeKeepName = "空いているバックアップ名がありません";
// Why a memo the program keeps for its own backups is refused.
inline constexpr std::string_view kReservedMemo =
    "メモ「戻す前」と「戻」（数字が続くものも）は、戻すときにプログラムが残すバックアップの"
    "ものです。別のメモにしてください。";

// The window's own texts.
inline constexpr std::string_view kSettingsNotSaved = "!!! 設定ファイルを保存できませんでした。";
inline constexpr std::string_view kSavePathRefused =
    "!!! このファイルはセーブファイルに選べません（パスが長すぎるか、使えない文字があります）。";
inline constexpr std::string_view kFolderNotOpened = "フォルダーを開けませんでした。";
inline constexpr std::string_view kBackupFolderMissing =
    "!!! バックアップフォルダーを作れませんでした。バックアップはできません。";
inline constexpr std::string_view kDeleteFailed = "!!! 削除できなかったファイルがあります。";
// A command started while another one runs (a key pressed during a long copy).
inline constexpr std::string_view kBusy = "ほかの操作の途中なので、何もしませんでした。";
inline constexpr std::string_view kSaveFileNotThere =
    "このファイルはまだありません。このままセーブファイルに選びますか？";

// The settings file: why a value cannot be used, and the line that says so.
inline constexpr std::string_view kUnreadableText = "UTF-8 として読めない文字があります";
inline constexpr std::string_view kNotAbsolute = "絶対パスではありません";
inline constexpr std::string_view kHasLineBreak = "改行があります";
inline constexpr std::string_view kNotOneFileName = "ファイル名ひとつではありません";
inline constexpr std::string_view kPathTooLong = "パスが長すぎます";
inline constexpr std::string_view kProgramFolderUnknown =
    "プログラムのあるフォルダーがわかりません";
std::string UnusableSetting(std::string_view key, std::string_view value, std::string_view reason);

// Where the program keeps its files, as where names it.
inline constexpr std::string_view kPortableLayout = "ポータブル（プログラムと同じフォルダー）";
inline constexpr std::string_view kInstalledLayout = "インストール（XDG フォルダー）";

// Why a memo cannot go into a backup name. shown is the character as the
// user should see it; the lengths are in bytes or characters, as unitInBytes says.
inline constexpr std::string_view kMemoUndecodable =
    "メモに UTF-8 として読めないバイトがあります。";
std::string ForbiddenInMemo(std::string_view shown);
std::string ControlCharacter(unsigned code);
std::string MemoTooLong(std::size_t excess, std::size_t room, bool unitInBytes);

// Global hotkeys: the actions' names, as on the buttons.
inline constexpr std::string_view kBackupActionLabel = "バックアップ";
inline constexpr std::string_view kQuickBackupActionLabel = "固定名 バックアップ";
inline constexpr std::string_view kRestoreActionLabel = "戻す";
inline constexpr std::string_view kHotkeysDialogTitle = "ホットキー…";
inline constexpr std::string_view kSoundCheckbox = "音で知らせる";
// A game run as administrator: its keys do not reach a program that is not.
inline constexpr std::string_view kElevatedForeground =
    "管理者として動いているゲームには、ホットキーが届きません";
// Neither the desktop portal nor X11 can give the window global keys.
inline constexpr std::string_view kHotkeysNeedDesktopShortcut =
    "このデスクトップでは、ホットキーを受け取れません。\n"
    "デスクトップのキーボードショートカットに「tsumugiya-cli backup --notify --sound」などを"
    "登録してください（README の「ゲーム中のホットキー」）。";
// The desktop portal would not bind the hotkeys; cause is one of the two
// below or the portal's own error text.
std::string PortalShortcutsFailed(std::string_view cause);
inline constexpr std::string_view kPortalShortcutsDeclined = "登録が取り消されました。";
inline constexpr std::string_view kPortalShortcutsEnded = "デスクトップが登録を途中で終えました。";
// A hotkey the desktop bound without a key (the user may set one later there).
inline constexpr std::string_view kPortalNoTrigger = "キーなし";
// A [Hotkeys] value that cannot be read; the file keeps it.
std::string HotkeySettingUnreadable(std::string_view key, std::string_view value);
// What each cue means, for those who do not hear it.
inline constexpr std::string_view kCueDone = "できました";
inline constexpr std::string_view kCueAlreadyKept = "バックアップ済みです";
inline constexpr std::string_view kCueFailed = "できませんでした";
// A key the hotkeys dialog cannot take for this action, as the dialog shows it.
std::string HotkeyKeyRefused(std::string_view action, std::string_view shown);
// The hotkeys the system would not give (another program holds them), each
// "ACTION: KEYS", and how to choose others.
std::string HotkeysNotGiven(const std::vector<std::string>& refused);
// A chord with the Windows key, which the Win32 hotkey control cannot show:
// it is kept as long as the control is left alone.
std::string HotkeyWinKeyKept(std::string_view chord);
// A backup whose name exists with the same bytes: the save has not changed since.
std::string AlreadyKept(std::string_view backupName);
// A backup whose name exists with other bytes: another state of the same
// second under the same memo. Said below kNameTaken.
std::string NameTakenByOtherState(std::string_view backupName);
// Going back with no backup of this save to go back to.
std::string NoCheckpointToRestore(std::string_view saveFileName);

// Automatic backups: the switch in both windows, its mark in the title, and
// one line for each thing the watcher did or did not do.
inline constexpr std::string_view kAutoBackupItem = "自動バックアップ";
inline constexpr std::string_view kAutoBackupTitleMark = " [自動]";
// While the last automatic backup failed and is being tried again: the
// failure's own line shows only for a while.
inline constexpr std::string_view kAutoBackupFailingTitleMark = " [自動：失敗]";
inline constexpr std::string_view kAutoSaveMissing =
    "セーブファイルがないので、ゲームが書くのを待ちます。";
inline constexpr std::string_view kAutoSaveChanging =
    "セーブファイルが書き換えられ続けているので、落ち着いてからコピーします。";
inline constexpr std::string_view kAutoBusy =
    "ほかの操作の途中なので、次に落ち着いたときにコピーします。";
// The save's folder is there but cannot be watched (the system's limit of
// watches, no access); the cause follows.
inline constexpr std::string_view kAutoFolderUnwatched =
    "セーブファイルのフォルダーを見張れません:";
// The automatic backups' ledger is there but cannot be read: it is left as
// it is, and nothing is pruned until it can be.
inline constexpr std::string_view kLedgerUnreadable =
    "自動バックアップの一覧を読めないので、古い自動バックアップを削除しません";
inline constexpr std::string_view kAutoWatching = "自動バックアップ中（Ctrl+C で終わります）: ";
inline constexpr std::string_view kAutoStopped = "自動バックアップを終わりました。";
// The automatic backups the pool let go of after a new one.
std::string AutoPruned(const std::vector<std::string>& names);
// An [AutoBackup] value that cannot be read; the default stands in, the file keeps it.
std::string AutoBackupSettingUnreadable(std::string_view key, std::string_view value,
                                        std::string_view expected);

// The delete question, naming what it deletes: after Cancel the selection
// moves, so the user must see which backups an OK removes.
std::string DeleteQuestion(const std::vector<std::filesystem::path>& paths);

// The restore question, naming the backup it puts back.
std::string RestoreQuestion(std::string_view backupName);

// The restore question for a backup of another save file, naming both.
std::string ForeignRestoreQuestion(std::string_view backupName,
                                   const std::filesystem::path& savePath);

// The line that names the backup kept from the safety copy by a restore,
// and says so when the save's long name left room only for a shorter memo.
std::string KeptBeforeRestoreNote(std::string_view backupName);

// How far a long copy into the file named target has got, in MiB:
// "NAME にコピー中 312 / 1024 MiB".
std::string CopyProgress(std::string_view target, std::uint64_t done, std::uint64_t total);
// The part of it after the name: " にコピー中 312 / 1024 MiB", which a narrow
// display keeps whole while it shortens the name.
std::string CopyProgressFigures(std::uint64_t done, std::uint64_t total);

// The report for a file that cannot be opened: names the file and the cause.
std::string FileErrorReport(const platform::IoError& error);

// A failure that also says which file and why, below the fixed text; the
// text alone when nothing is known of either.
std::string WithCause(std::string_view text, const platform::IoError& error);

}  // namespace tsumugiya::messages
