#include "BackupNames.h"

#include <algorithm>
#include <cstdio>

#include "FileTime.h"
#include "Messages.h"
#include "platform/Platform.h"

namespace tsumugiya {

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000) || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

bool IsNameInFolder(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('\0') == name.npos &&
           platform::IsOneComponent(name);
}

bool IsPrintableFileName(std::string_view name) {
    if (!IsNameInFolder(name)) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || name[i] == '\\') {
            return false;
        }
        // The C1 controls U+0080..U+009F (NEL among them) are C2 80..C2 9F.
        if (c == 0xC2 && i + 1 < name.size() &&
            (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80) {
            return false;
        }
    }
    return IsValidUtf8(name);
}

std::optional<std::string> TimestampedBackupName(std::string_view saveFileName,
                                                 std::string_view timeText, std::string_view memo,
                                                 std::size_t maxLength) {
    std::string name;
    name.reserve(saveFileName.size() + timeText.size() + memo.size() + 7);
    name.append(saveFileName).append(".save.").append(timeText).append("_").append(memo);
    if (platform::NameLength(name) > maxLength || !IsPrintableFileName(name)) {
        return std::nullopt;
    }
    return name;
}

std::size_t MemoRoom(std::string_view saveFileName, std::string_view timeText,
                     std::size_t maxNameLength) {
    // ".save." and "_"
    const std::size_t bare =
        platform::NameLength(saveFileName) + platform::NameLength(timeText) + 7;
    return bare >= maxNameLength ? 0 : std::min(kMemoMaxBytes, maxNameLength - bare);
}

namespace {

// The first character a file name cannot hold, as the user should see it.
std::optional<std::string> ForbiddenCharacter(std::string_view memo) {
    for (std::size_t i = 0; i < memo.size(); ++i) {
        if (platform::kNameForbiddenCharacters.find(memo[i]) != std::string_view::npos) {
            return "「" + std::string(1, memo[i]) + "」";
        }
        const auto c = static_cast<unsigned char>(memo[i]);
        const auto next = i + 1 < memo.size() ? static_cast<unsigned char>(memo[i + 1]) : 0u;
        // C0 controls and DEL, or a C1 control (U+0080..U+009F is C2 80..C2 9F).
        const bool c0 = c < 0x20 || c == 0x7F;
        const bool c1 = c == 0xC2 && next >= 0x80 && next <= 0x9F;
        if (c0 || c1) {
            return messages::ControlCharacter(c1 ? next : c);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> MemoProblem(std::string_view memo, std::size_t room) {
    if (!IsValidUtf8(memo)) {
        return std::string(messages::kMemoUndecodable);
    }
    if (const auto character = ForbiddenCharacter(memo)) {
        return messages::ForbiddenInMemo(*character);
    }
    if (const std::size_t length = platform::NameLength(memo); length > room) {
        return messages::MemoTooLong(length - room, room, platform::kNameLengthInBytes);
    }
    return std::nullopt;
}

bool IsBackupOf(std::string_view backupName, std::string_view saveFileName) {
    constexpr std::string_view kInfix = ".save.";
    if (!backupName.starts_with(saveFileName) ||
        !backupName.substr(saveFileName.size()).starts_with(kInfix)) {
        return false;
    }
    const std::string_view rest = backupName.substr(saveFileName.size() + kInfix.size());
    const std::size_t memo = rest.find('_');
    // The names this program makes: a time text, "_" and the memo, or "temp".
    if (rest == "temp" || (memo != rest.npos && IsFileTimeText(rest.substr(0, memo)))) {
        return true;
    }
    // Any other name may as well be a backup of a save whose name goes on
    // past this one's ("slot1.save.save.…" of "slot1.save", not of "slot1").
    return !rest.empty() && !rest.starts_with("save.") && rest.find(kInfix) == rest.npos;
}

namespace {

// The last form, no memo at all, cannot be told from a backup the player
// made without one; it is only for a save whose name leaves no more room.
constexpr std::string_view kKeptStateMemos[kKeptStateMemoForms] = {"戻す前", "戻", ""};
constexpr std::string_view kAutomaticMemo = "自動";

// The form, then nothing or a number.
bool IsNumberedMemo(std::string_view memo, std::string_view form) {
    if (!memo.starts_with(form)) {
        return false;
    }
    const std::string_view number = memo.substr(form.size());
    return number.find_first_not_of("0123456789") == number.npos;
}

// The memo part of a name this program made: after "<save>.save.<time>_".
std::optional<std::string_view> MemoOf(std::string_view backupName, std::string_view saveFileName) {
    constexpr std::string_view kInfix = ".save.";
    if (!backupName.starts_with(saveFileName) ||
        !backupName.substr(saveFileName.size()).starts_with(kInfix)) {
        return std::nullopt;
    }
    const std::string_view rest = backupName.substr(saveFileName.size() + kInfix.size());
    const std::size_t memo = rest.find('_');
    if (memo == rest.npos || !IsFileTimeText(rest.substr(0, memo))) {
        return std::nullopt;
    }
    return rest.substr(memo + 1);
}

}  // namespace

bool IsReservedMemo(std::string_view memo) {
    return IsNumberedMemo(memo, kKeptStateMemos[0]) || IsNumberedMemo(memo, kKeptStateMemos[1]);
}

std::string KeptStateMemo(int attempt, int shortening) {
    std::string memo(kKeptStateMemos[shortening]);
    return attempt == 1 ? memo : memo + std::to_string(attempt);
}

bool IsKeptByProgram(std::string_view backupName, std::string_view saveFileName) {
    const auto memo = MemoOf(backupName, saveFileName);
    return memo && IsReservedMemo(*memo);
}

bool IsAutomaticBackupOf(std::string_view backupName, std::string_view saveFileName) {
    const auto memo = MemoOf(backupName, saveFileName);
    return memo && IsNumberedMemo(*memo, kAutomaticMemo);
}

std::string AutomaticMemo(int attempt) {
    std::string memo(kAutomaticMemo);
    return attempt == 1 ? memo : memo + std::to_string(attempt);
}

bool IsCheckpointOf(std::string_view backupName, std::string_view saveFileName) {
    return IsBackupOf(backupName, saveFileName) && !IsKeptByProgram(backupName, saveFileName) &&
           !IsAutomaticBackupOf(backupName, saveFileName);
}

bool IsLastingBackupOf(std::string_view backupName, std::string_view saveFileName) {
    return IsBackupOf(backupName, saveFileName) && backupName != FixedBackupName(saveFileName) &&
           !IsAutomaticBackupOf(backupName, saveFileName);
}

bool MayHoldStateOfTime(std::string_view backupName, std::string_view saveFileName,
                        std::string_view timeText) {
    if (!IsBackupOf(backupName, saveFileName)) {
        return false;
    }
    const std::string_view rest =
        backupName.substr(saveFileName.size() + std::string_view(".save.").size());
    const std::string_view named = rest.substr(0, rest.find('_'));
    return named == timeText || !IsFileTimeText(named);
}

std::string FixedBackupName(std::string_view saveFileName) {
    return std::string(saveFileName) + ".save.temp";
}

std::filesystem::path SafetyCopyPath(const std::filesystem::path& savePath) {
    return platform::PathFromUtf8(platform::Utf8Of(savePath) + ".s");
}

}  // namespace tsumugiya
