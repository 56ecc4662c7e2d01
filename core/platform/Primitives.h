#pragma once

// The small system calls that the shared file policy (SafeFiles.cpp) is built
// from. Each platform implements these and nothing of the policy itself.

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "platform/Platform.h"

namespace tsumugiya::platform::sys {

namespace fs = std::filesystem;

void Close(std::intptr_t native);

// Owns one open file (a descriptor or a handle) and closes it when it goes away.
class File {
  public:
    using Native = std::intptr_t;
    static constexpr Native kNone = -1;  // also the value of INVALID_HANDLE_VALUE

    File() = default;
    explicit File(Native native) : native_(native) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : native_(other.release()) {}
    File& operator=(File&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~File() { reset(); }

    void reset(Native native = kNone) {
        if (native_ != kNone) {
            Close(native_);
        }
        native_ = native;
    }
    Native release() {
        const Native native = native_;
        native_ = kNone;
        return native;
    }
    Native get() const { return native_; }
    explicit operator bool() const { return native_ != kNone; }

  private:
    Native native_ = kNone;
};

// Opens a regular file for reading, with its state; an error of kind
// SourceMissing when there is no such file.
File OpenForReading(const fs::path& file, FileIdentity& state, IoError& error);

bool StateOf(const File& file, FileIdentity& state);

// Creates a new file for writing, refusing an existing name (nameTaken). While
// it stays open, RemoveIfStale leaves it alone.
File CreateExclusive(const fs::path& file, bool& nameTaken, IoError& error);

// Copies everything the source holds, from its first byte, into an empty
// file; copied counts it. Where the file system can share the source's data
// the copy is a clone; otherwise it goes in chunks, telling progress (when
// given) of each against total. A failure names from or to, whichever could
// not be read or written.
bool CopyBytes(const File& in, const File& out, std::uint64_t total, const CopyProgress* progress,
               std::uint64_t& copied, const fs::path& from, const fs::path& to, IoError& error);

bool WriteBytes(const File& out, std::string_view bytes, const fs::path& file, IoError& error);

// Reads up to size bytes; 0 at the end, -1 on failure.
std::int64_t ReadSome(const File& in, char* buffer, std::size_t size);

// False, with the cause, when the system says the data may not be on disk:
// a failed flush is never taken for a done one.
bool Flush(const File& file, const fs::path& path, IoError& error);

// Puts data already written to the file by anyone on disk; false when this
// process cannot, or when a second name could not be renamed or removed
// again (Windows: another program holds the file without delete sharing).
bool FlushStored(const fs::path& file);

// Gives a staged copy its attributes (the source's modification time and its
// permissions or those of the file it will replace). Without a source, only
// the permissions of the file it replaces, or the defaults for a new file.
bool ApplyAttributes(const File* source, const File& copy, const fs::path& copyPath,
                     const fs::path& target, Attributes attributes, IoError& error);

// Moves a flushed temporary file onto target, closing it as the platform
// needs; Overwrite::Refuse fails atomically (TargetExists) on an existing
// name. The rename itself is on disk when this returns.
bool CommitTemp(File& temp, const fs::path& tempPath, const fs::path& target, Overwrite overwrite,
                IoError& error);

// Renames one entry over another, replacing it, and puts the rename on disk.
bool RenameReplacing(const fs::path& from, const fs::path& to, IoError& error);

#ifndef _WIN32
// Puts the entry's name (not its data) on disk by flushing its folder.
bool SyncFolderOf(const fs::path& entry, IoError& error);
#endif

// A second name for an existing file; nameTaken when the new name exists.
bool HardLink(const fs::path& existing, const fs::path& link, bool& nameTaken);

// Removes a temporary file unless a live copy still holds it.
void RemoveIfStale(const fs::path& file);

// The file a write to this path should replace: the end of a chain of links,
// also when it does not exist yet.
fs::path ResolveLink(const fs::path& file);

}  // namespace tsumugiya::platform::sys
