#include "Messages.h"

#include <cstdio>

namespace tsumugiya::messages {

std::string UnusableSetting(std::string_view key, std::string_view value, std::string_view reason) {
    return "設定ファイルの " + std::string(key) + "=" + std::string(value) + " は使えません（" +
           std::string(reason) + "）。";
}

std::string ForbiddenInMemo(std::string_view shown) {
    return "メモに" + std::string(shown) + "は使えません（ファイル名に使えない文字です）。";
}

std::string ControlCharacter(unsigned code) {
    char text[32];
    std::snprintf(text, sizeof text, "制御文字 U+%04X", code);
    return text;
}

std::string MemoTooLong(std::size_t excess, std::size_t room, bool unitInBytes) {
    const std::string unit = unitInBytes ? " バイト" : " 文字";
    return "メモが " + std::to_string(excess) + unit +
           "長すぎます（このセーブファイルのバックアップ名に入るのは " + std::to_string(room) +
           unit + "までです）。";
}

std::string DeleteQuestion(const std::vector<std::filesystem::path>& paths) {
    constexpr std::size_t kNamesShown = 10;
    std::string text(kConfirmDelete);
    for (std::size_t i = 0; i < paths.size() && i < kNamesShown; ++i) {
        text += "\n" + platform::Utf8Of(paths[i].filename());
    }
    if (paths.size() > kNamesShown) {
        text += "\nほか " + std::to_string(paths.size() - kNamesShown) + " 件";
    }
    return text;
}

std::string RestoreQuestion(std::string_view backupName) {
    return std::string(kConfirmRestore) + "\n戻すバックアップ: " + std::string(backupName);
}

std::string ForeignRestoreQuestion(std::string_view backupName,
                                   const std::filesystem::path& savePath) {
    return std::string(kConfirmRestore) + "\n" + std::string(backupName) +
           " は別のセーブファイルのバックアップです。\n上書きするセーブファイル: " +
           platform::Utf8Of(savePath);
}

std::string HotkeySettingUnreadable(std::string_view key, std::string_view value) {
    return "[Hotkeys] " + std::string(key) + "=" + std::string(value) +
           "\n  キーとして読めないので、このホットキーは使いません" +
           "（Ctrl、Alt、Meta のどれかと、F1〜F24、A〜Z、0〜9 などのキーを + でつなぎます。例: "
           "Ctrl+F5）";
}

std::string HotkeyKeyRefused(std::string_view action, std::string_view shown) {
    return std::string(action) + ": " + std::string(shown) +
           "\n  このキーはホットキーにできません（Ctrl、Alt、Meta のどれかと、F1〜F24、A〜Z、"
           "0〜9 などのキーを組み合わせます。例: Ctrl+F5）";
}

std::string HotkeysNotGiven(const std::vector<std::string>& refused) {
    std::string text = "ほかのプログラムが使っているので、このホットキーは使えません:";
    for (const auto& line : refused) {
        text += "\n  " + line;
    }
    return text + "\nほかのキーは、メニューの「ホットキー…」で選べます。";
}

std::string PortalShortcutsFailed(std::string_view cause) {
    return "デスクトップのショートカット機能で、ホットキーを登録できませんでした:\n" +
           std::string(cause);
}

std::string HotkeyWinKeyKept(std::string_view chord) {
    return std::string(chord) +
           "\nWin キーはこの欄に出ませんが、キーを変えなければこのまま使います。";
}

std::string AutoPruned(const std::vector<std::string>& names) {
    std::string text = "古い自動バックアップを削除:";
    for (const std::string& name : names) {
        text += " " + name;
    }
    return text;
}

std::string AutoBackupSettingUnreadable(std::string_view key, std::string_view value,
                                        std::string_view expected) {
    return "[AutoBackup] " + std::string(key) + "=" + std::string(value) +
           "\n  読めないので、既定の値を使います（" + std::string(expected) + "）";
}

std::string AlreadyKept(std::string_view backupName) {
    return "変わっていないので、バックアップ済みです: " + std::string(backupName);
}

std::string NameTakenByOtherState(std::string_view backupName) {
    return "中身の違うバックアップがこの名前を使っています: " + std::string(backupName) +
           "\nメモを変えてバックアップしてください。";
}

std::string NoCheckpointToRestore(std::string_view saveFileName) {
    return std::string(saveFileName) + " のバックアップがありません。";
}

std::string KeptBeforeRestoreNote(std::string_view backupName) {
    std::string note = "それまでの控えをバックアップしました: " + std::string(backupName);
    if (backupName.find("_戻す前") == backupName.npos) {
        note += "\n（セーブファイルの名前が長いので、メモを短くしました）";
    }
    return note;
}

std::string CopyProgress(std::string_view target, std::uint64_t done, std::uint64_t total) {
    return std::string(target) + CopyProgressFigures(done, total);
}

// Done is rounded down while the copy runs, so that it never claims the
// whole early, and shown whole at the end: 1 GiB + 2 bytes ends at 1025 / 1025.
std::string CopyProgressFigures(std::uint64_t done, std::uint64_t total) {
    constexpr std::uint64_t kMiB = 1 << 20;
    const auto roundedUp = [](std::uint64_t bytes) { return bytes / kMiB + (bytes % kMiB != 0); };
    const std::uint64_t shownDone = done >= total ? roundedUp(done) : done / kMiB;
    return " にコピー中 " + std::to_string(shownDone) + " / " + std::to_string(roundedUp(total)) +
           " MiB";
}

std::string FileErrorReport(const platform::IoError& error) {
    if (error.file.empty()) {
        return std::string(kNoSaveFileChosen);
    }
    return "ファイル " + platform::Utf8Of(error.file) + " を開けません。\n" + error.cause;
}

std::string WithCause(std::string_view text, const platform::IoError& error) {
    if (error.file.empty() && error.cause.empty()) {
        return std::string(text);
    }
    return std::string(text) + "\n" + platform::Utf8Of(error.file) + ": " + error.cause;
}

}  // namespace tsumugiya::messages
