#pragma once

// The operating-system services the core needs. Everything else in core/ is
// standard C++. A port (linux/, win32/) implements the system calls of
// Primitives.h and the parts of this header that are not built on them; the
// commit-or-nothing file policy (SafeFiles.cpp) and the settings file
// (ProfileFile.cpp) are written once for every port.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsumugiya::platform {

// True for the characters that separate folders in a path on this platform.
bool IsSeparator(char c);

// True for a path that does not depend on the working folder (or drive) and
// can name a file: on Windows a drive path or a share (\\server\share), also
// behind the \\?\ prefix; never a device path.
bool IsAbsolutePath(std::string_view path);

// True for a path into the Windows device namespace (\\.\, or \\?\ before
// anything but a drive or UNC\): it names a device, never a save file.
bool IsDevicePath(std::string_view path);

// A path the user typed as the program keeps it: made absolute against the
// working folder (and drive) the way the system reads it, a share kept a
// share. On Windows the \\?\ prefix of a drive or share path is dropped (the
// file calls add it back) and a device path comes back as it is, for
// IsAbsolutePath to refuse. Absent when the working folder cannot be found.
std::optional<std::string> AbsolutePath(std::string_view path);

// True when this system reads the text as one path component: no separator,
// nothing it reads as a device or a stream. Says nothing of "." or "..".
bool IsOneComponent(std::string_view name);

#ifdef _WIN32
// The character used when the program joins a folder and a name.
inline constexpr char kSeparator = '\\';
// Characters no file name may hold, as the user is told about them.
inline constexpr std::string_view kNameForbiddenCharacters = "/\\:*?\"<>|";
// Longest path, in bytes, the program accepts for the save file (32,767
// UTF-16 units at three bytes each at most).
inline constexpr std::size_t kMaxPathLength = 32767 * 3;
// Whether an installed copy keeps its files in the user's XDG folders; on
// Windows they always sit beside the program.
inline constexpr bool kHasXdgFolders = false;
// Whether NameLength counts bytes (else UTF-16 units).
inline constexpr bool kNameLengthInBytes = false;
#else
inline constexpr char kSeparator = '/';
inline constexpr std::string_view kNameForbiddenCharacters = "/\\";
inline constexpr std::size_t kMaxPathLength = 4095;
inline constexpr bool kHasXdgFolders = true;
inline constexpr bool kNameLengthInBytes = true;
#endif

// Paths hold UTF-8 text inside the program. The std::string conversions of
// std::filesystem::path use the ANSI code page on Windows, so text always
// goes through char8_t.
inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}
inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Full path of the running executable; empty when it cannot be found.
std::filesystem::path ExecutablePath();

// The value of an environment variable; absent when unset.
std::optional<std::string> EnvironmentValue(const std::string& name);

// The user's home folder; empty when it cannot be found.
std::filesystem::path HomeFolder();

// True when this process may create files in the folder (a read-only mount
// or missing rights say no).
bool CanWriteIn(const std::filesystem::path& folder);

// True when both paths name the same existing file or folder.
bool SameEntry(const std::filesystem::path& a, const std::filesystem::path& b);

// Local calendar time of a file time (seconds since 1970-01-01 UTC); absent
// when the system's calendar cannot show it.
struct CalendarTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
std::optional<CalendarTime> LocalTime(std::int64_t seconds);

// --- Files -----------------------------------------------------------------

// Why a file operation failed, in words a user can act on.
struct IoError {
    enum class Kind {
        SourceMissing,  // the file to copy does not exist
        SourceChanged,  // the source kept changing while it was copied
        TargetExists,   // a no-overwrite copy found the name taken
        Other,
    };
    Kind kind = Kind::Other;
    std::filesystem::path file;  // the file the failure concerns
    std::string cause;
};

// Why a C library call failed (an errno value), as the user reads it: the
// system's own Japanese text where one is installed, else the program's own
// for the common causes (see Causes.h), else the system's text as it is.
std::string ErrnoCause(int err);

// Status of a file opened for reading, as a backup command needs it.
struct OpenedFileStatus {
    std::optional<std::int64_t> modificationTime;  // absent when status cannot be read
};
// Opens the file for reading and reads its status; fails when it cannot be
// opened or is not a regular file.
bool ReadFileStatus(const std::filesystem::path& file, OpenedFileStatus& status, IoError& error);

// A file time as file systems keep it: whole seconds since 1970-01-01 UTC
// (negative before) and the nanoseconds into that second. Nanoseconds alone
// in 64 bits would end in 1677 and 2262; file systems go further both ways.
struct FileTimeStamp {
    std::int64_t seconds = 0;
    std::int32_t nanoseconds = 0;  // 0..999,999,999
    auto operator<=>(const FileTimeStamp&) const = default;
};

// What one status read tells about a directory entry, links followed.
struct EntryStatus {
    bool isDirectory = false;
    bool isLink = false;  // the entry itself is a symbolic link (a reparse point on Windows)
    std::uint64_t size = 0;
    // Present for regular files only: a folder or a dangling link has no save state.
    std::optional<std::int64_t> modificationTime;
    // When the entry was made or last replaced, as an order only (the status
    // change time); absent where the listing does not carry it (Windows),
    // for IdentityOf to tell.
    std::optional<FileTimeStamp> made;
};
EntryStatus StatusOf(const std::filesystem::path& entry);

// True when any directory entry of that name exists (also a dangling link).
bool EntryExists(const std::filesystem::path& entry);

// Held by one process at a time for one folder, while it lives: restores of
// saves in one folder run one after the other, each seeing what the last one
// left. Not held (and not waited for) when the folder cannot be opened.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();
    bool Held() const;

  private:
    std::intptr_t handle_;
};

enum class Overwrite { Allow, Refuse };

// Whose permission bits (and owner, where the system allows) a copy gets:
// the source's, or those of the file it replaces (a new file gets the source's).
enum class Attributes { OfSource, OfTarget };

// Lets a long copy say how far it has got: advanced gets the bytes copied so
// far and the source's size after every chunk of at most chunkBytes. A copy
// whose data the file system shares instead of moving (a reflink) is done in
// one step and tells nothing.
struct CopyProgress {
    static constexpr std::uint64_t kChunkBytes = std::uint64_t{32} << 20;
    std::uint64_t chunkBytes = kChunkBytes;
    std::function<void(std::uint64_t done, std::uint64_t total)> advanced;
};

// Copies a whole file, commit-or-nothing: the data goes to a temporary file in
// the target's folder, is flushed, gets the source's modification time and is
// renamed over the target; the folder is flushed last. With Overwrite::Refuse
// an existing entry of the target's name is never replaced. A link at the
// target is replaced, never written through, unless followTargetLink is set.
// A source that changes while it is read is copied again a few times, then
// reported as SourceChanged.
bool CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                        Overwrite overwrite, bool followTargetLink, IoError& error,
                        const CopyProgress* progress = nullptr);

// A copy made and flushed beside its target, put in place only by Commit;
// dropped, temporary file and all, otherwise. Lets a caller do other work
// between having the new data safe and replacing the target.
class StagedCopy {
  public:
    StagedCopy();
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;
    ~StagedCopy();

    bool Prepare(const std::filesystem::path& from, const std::filesystem::path& to,
                 bool followTargetLink, Attributes attributes, IoError& error,
                 const CopyProgress* progress = nullptr);
    bool Commit(Overwrite overwrite, IoError& error);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Keeps what a file holds now under a second name, replacing whatever had
// that name, before the file itself is replaced by a rename. Where the file
// system allows it, the data is not copied: the keep name is linked to it.
bool KeepPreviousVersion(const std::filesystem::path& file, const std::filesystem::path& keep,
                         IoError& error, const CopyProgress* progress = nullptr);

// True when both are regular files with the same bytes; false when either
// cannot be read.
bool HaveSameContent(const std::filesystem::path& a, const std::filesystem::path& b);

// What tells one state of a file from the next (links followed): any write
// or replacement changes it.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    FileTimeStamp modified, changed;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& file);

// Writes bytes to a file, commit-or-nothing as above; a link is written through.
bool WriteFileAtomically(const std::filesystem::path& to, std::string_view bytes, IoError& error);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes);

// Removes one directory entry; a link is removed, never what it points to.
// An entry that is already gone counts as removed.
bool RemoveEntry(const std::filesystem::path& entry);
bool RemoveEntry(const std::filesystem::path& entry, IoError& error);

// Puts the folder's entries (names made, renamed or removed) on disk; on
// Windows the file system keeps them in order already.
bool FlushFolder(const std::filesystem::path& folder, IoError& error);

// Removes the temporary files that copies interrupted by a crash left behind
// in a folder; those of copies still running are kept.
void RemoveStaleTempFiles(const std::filesystem::path& folder);
// The same for one entry met while reading the folder: true when the name is
// one of this program's temporary names (removed or, when live, kept).
bool SweepIfTempName(const std::filesystem::path& folder, std::string_view name);

// True when the path is a directory (links followed).
bool IsDirectory(const std::filesystem::path& folder);
// Makes one folder and puts its entry on disk before anything is written into
// it; TargetExists when the name is taken.
bool CreateDirectory(const std::filesystem::path& folder, IoError& error);
// The same for every missing folder of a path, outermost first.
bool CreateFolders(const std::filesystem::path& folder, IoError& error);

// --- Folder listing ----------------------------------------------------------

// Reads a folder's entries one at a time in the order the file system gives
// them ("." and ".." left out); nothing when it cannot be read. A status is
// read only when asked for, relative to the open folder: no full path is
// looked up again for each of many entries.
class FolderReader {
  public:
    explicit FolderReader(const std::filesystem::path& folder);
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;
    ~FolderReader();

    // Moves to the next entry; false at the end.
    bool Next();
    // The current entry's name, as UTF-8.
    const std::string& Name() const;
    EntryStatus Status() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Names of a folder's entries, as FolderReader meets them.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);

// One pass over a folder that keeps the entries wanted says yes to (asked on
// the calling thread, in the order the entries are met), each with its
// status. The statuses of many entries are read side by side where the
// system has the cores for it.
struct FolderEntry {
    std::string name;
    EntryStatus status;
};
std::vector<FolderEntry> ReadFolder(const std::filesystem::path& folder,
                                    const std::function<bool(const std::string&)>& wanted);

// File-name wildcard match: "*" any run, "?" one character, letters of any
// case (ASCII letters only on POSIX); nothing else is special.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// Longest file name that the folder's file system accepts, in the units of
// NameLength.
std::size_t MaxFileNameLength(const std::filesystem::path& folder);

// Length of a UTF-8 name in the units the file system limits: bytes on
// POSIX, UTF-16 units on Windows.
std::size_t NameLength(std::string_view name);

// --- Folder watch --------------------------------------------------------------

// Tells which entries of one folder were written or renamed into it, through
// one handle that an event loop waits on: an inotify descriptor on Linux, an
// event on Windows. The handle stays the same for the watch's life, also
// while the folder is gone, so a loop registers it once.
class FolderWatch {
  public:
    explicit FolderWatch(std::filesystem::path folder);
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    ~FolderWatch();

    // What arrived since the last call, read without waiting.
    struct Changes {
        std::vector<std::string> names;  // entries written, closed or renamed in (UTF-8)
        // Some changes were dropped (the queue overflowed): look at the folder again.
        bool incomplete = false;
        // The folder went away or was replaced: the watch is off until Arm.
        bool lost = false;
    };
    Changes Read();
    // (Re)starts watching the folder; false while it cannot be opened.
    bool Arm();
    bool Armed() const;
    // Why the last start failed, in the user's words; empty when it did not.
    const std::string& Problem() const;
    // Ready to read (a descriptor to poll, an event HANDLE to wait for).
    std::intptr_t Waitable() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// True when the file system takes both names for one entry's: the same
// text on Linux, the same but for case on Windows. Opens nothing.
bool SameFileName(std::string_view a, std::string_view b);

// Waits until one of the handles (descriptors or HANDLEs, as Waitable gives
// them) is ready, or the timeout passes (none: for ever). The index of the
// first ready one; absent on a timeout or an interrupted wait.
std::optional<std::size_t> WaitForAny(const std::vector<std::intptr_t>& waitables,
                                      std::optional<std::chrono::milliseconds> timeout);

// --- Settings file -------------------------------------------------------------

// One value from the text of a private-profile (INI) file; fallback when the
// section or key is missing. Read the file once and ask for each key.
std::string ProfileStringFromText(std::string_view text, std::string_view section,
                                  std::string_view key, std::string_view fallback);

// Sets values of one section, keeping every other section, key and comment of
// the file; creates the file when missing. Written commit-or-nothing.
bool WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& values,
                         IoError& error);

}  // namespace tsumugiya::platform
