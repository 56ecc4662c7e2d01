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
inline constexpr std::string_view kSettingsSection = "SaveFile";
inline constexpr std::string_view kFolderKey = "folder";
inline constexpr std::string_view kFileNameKey = "filename";

// "%s.save.%s_%s": save file name, time text, memo. Absent when the memo
// would make it anything but one plain file name of at most maxLength bytes.
std::optional<std::string> TimestampedBackupName(std::string_view saveFileName,
                                                 std::string_view timeText, std::string_view memo,
                                                 std::size_t maxLength);

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
