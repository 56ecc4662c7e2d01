#pragma once

// The names of every file the program creates or looks for. Stored backups
// are found again by these names, so they never change.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tsumugiya {

inline constexpr std::string_view kBackupFolderName = "backup";
inline constexpr std::string_view kBackupExtensionPattern = "*.save.*";
// What the backup list shows: every name with ".save." after its first
// character, so that backups of a save without a dot in its name are listed too.
inline constexpr std::string_view kBackupListingPattern = "*.save.*";
// The most UTF-8 bytes a memo may take; the backup name it goes into may
// leave it less room.
inline constexpr std::size_t kMemoMaxBytes = 255;
inline constexpr std::string_view kSettingsSection = "SaveFile";
inline constexpr std::string_view kFolderKey = "folder";
inline constexpr std::string_view kFileNameKey = "filename";

// "%s.save.%s_%s": save file name, time text, memo. Absent when the memo
// would make it anything but one plain file name of at most maxLength bytes.
std::optional<std::string> TimestampedBackupName(std::string_view saveFileName,
                                                 std::string_view timeText, std::string_view memo,
                                                 std::size_t maxLength);

// How many bytes of memo a backup name of this save, with this time text,
// still has room for; 0 when even an empty memo makes the name too long.
std::size_t MemoRoom(std::string_view saveFileName, std::string_view timeText,
                     std::size_t maxNameLength);

// Why this memo cannot go into a backup name with that much room, in words
// for the user; absent when it can. The window and the command line both
// hold memos to this one rule.
std::optional<std::string> MemoProblem(std::string_view memo, std::size_t room);

// True for names of backups of this save file ("<save file>.save.…"); the
// folder may also hold other saves' backups, among them those of a save
// whose name starts with this one's.
bool IsBackupOf(std::string_view backupName, std::string_view saveFileName);

// "%s.save.temp": the quick backup that each use overwrites.
std::string FixedBackupName(std::string_view saveFileName);

// "%s.s": the copy of the save file taken before each restore.
std::filesystem::path SafetyCopyPath(const std::filesystem::path& savePath);

// True for text that names one entry inside a folder: not empty, not "." or
// "..", no separator, no control character, valid UTF-8.
bool IsPlainFileName(std::string_view name);

// True for text that can only name an entry directly inside a folder.
bool IsEntryName(std::string_view name);

// True when the text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace tsumugiya
