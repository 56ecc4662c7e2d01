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

// True for a backup the program made on its own, not the player: the state a
// restore took aside ("<save>.save.<time>_戻す前", "_戻す前2", …, or "_戻",
// "_戻2", … where the save's name leaves no room for more). A memo of that
// form is refused, so these names mean this and nothing else. (A save whose
// name leaves room for no memo at all keeps it under an empty one, which
// cannot be told from the player's own.)
bool IsKeptByProgram(std::string_view backupName, std::string_view saveFileName);

// True for a name of the automatic backups' form ("<save>.save.<time>_自動",
// "_自動2", …). The player may type that memo too: such a name is never
// taken for one that lasts, but only the pool's ledger says which ones the
// program may prune.
bool IsAutomaticBackupOf(std::string_view backupName, std::string_view saveFileName);

// The memo of an automatic backup; the attempt numbers a name already taken
// by other bytes of the same second (2, 3, …).
std::string AutomaticMemo(int attempt);

// True for a backup of this save that the player made (a button, a hotkey,
// the command line, the quick backup): one of the states the player chose
// to come back to. Automatic backups are not: going back lands on a state
// the player chose, and the pool may drop them.
bool IsCheckpointOf(std::string_view backupName, std::string_view saveFileName);

// True for a backup of this save that no command ever overwrites or prunes:
// only such a file may count as keeping a state (the quick backup is
// overwritten by the next one, an automatic one may be pruned).
bool IsLastingBackupOf(std::string_view backupName, std::string_view saveFileName);

// True for a backup of this save that may hold a state of this time text: a
// name the program made carries its state's time, so one with another time
// holds another state; any other name may hold any.
bool MayHoldStateOfTime(std::string_view backupName, std::string_view saveFileName,
                        std::string_view timeText);

// True for the memos the program keeps for its own backups.
bool IsReservedMemo(std::string_view memo);

// The memos a restore tries, in order, for the state it takes aside: the
// full one, then shorter ones for a save whose name leaves little room; the
// attempt numbers a name already taken (2, 3, …).
std::string KeptStateMemo(int attempt, int shortening);
inline constexpr int kKeptStateMemoForms = 3;

// "%s.save.temp": the quick backup that each use overwrites.
std::string FixedBackupName(std::string_view saveFileName);

// "%s.s": the copy of the save file taken before each restore.
std::filesystem::path SafetyCopyPath(const std::filesystem::path& savePath);

// True for text that can only name an entry directly inside a folder: not
// empty, not "." or "..", one component on this system. What a name found in
// the folder or typed by the user must be before it is used.
bool IsNameInFolder(std::string_view name);

// A name in a folder that is also fit to make and show: no control
// character, no backslash on any system, valid UTF-8. What the program's own
// names and the save file's name must be.
bool IsPrintableFileName(std::string_view name);

// True when the text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace tsumugiya
