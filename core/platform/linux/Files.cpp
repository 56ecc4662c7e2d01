// Linux file primitives: descriptors, flock-marked temporary files, renameat2.

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include "platform/Platform.h"
#include "platform/Primitives.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {
namespace {

bool Fail(IoError& error, IoError::Kind kind, const fs::path& file, int err) {
    error = IoError{kind, file, ErrnoCause(err)};
    return false;
}

int Fd(const sys::File& file) {
    return static_cast<int>(file.get());
}

FileTimeStamp StampOf(const timespec& t) {
    return FileTimeStamp{static_cast<std::int64_t>(t.tv_sec), static_cast<std::int32_t>(t.tv_nsec)};
}

FileIdentity IdentityFrom(const struct stat& st) {
    return FileIdentity{
        static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
        static_cast<std::uint64_t>(st.st_size), StampOf(st.st_mtim), StampOf(st.st_ctim)};
}

fs::path FolderOf(const fs::path& file) {
    fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

bool WriteAll(int fd, std::string_view bytes, int& err) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno != EINTR) {
            err = errno;
            return false;
        }
        done += w > 0 ? static_cast<std::size_t>(w) : 0;
    }
    return true;
}

// A clone shares the source's extents (btrfs, XFS with reflink=1): no data
// moves, and a later write to either file gets blocks of its own.
bool Clone(int in, int out, off_t& offset) {
    struct stat st {};
    if (::ioctl(out, FICLONE, in) != 0 || ::fstat(out, &st) != 0) {
        return false;
    }
    offset = st.st_size;
    return true;
}

// What happens between chunks of a copy: the chunk is sent to disk while the
// next one is copied, the one before it is waited for, and progress is told.
// Progress then follows the disk, not the page cache, and the final flush
// finds little left to write.
class Chunks {
  public:
    Chunks(int out, std::uint64_t total, const CopyProgress* progress)
        : out_(out),
          total_(total),
          progress_(progress && progress->advanced ? progress : nullptr),
          size_(std::clamp<std::uint64_t>(
              progress ? progress->chunkBytes : CopyProgress::kChunkBytes, 1, 1 << 30)) {}
    std::size_t Size() const { return static_cast<std::size_t>(size_); }

    // The copy has reached offset; a chunk ends there when it is full or last.
    void Reached(off_t offset, bool last = false) {
        if (offset == told_ || (!last && static_cast<std::uint64_t>(offset - told_) < size_)) {
            return;
        }
        // Failures show in the flush that every copy ends with.
        if (told_ > waited_) {
            ::sync_file_range(out_, waited_, told_ - waited_, SYNC_FILE_RANGE_WRITE_AND_WAIT);
            waited_ = told_;
        }
        ::sync_file_range(out_, told_, offset - told_, SYNC_FILE_RANGE_WRITE);
        told_ = offset;
        if (progress_) {
            progress_->advanced(static_cast<std::uint64_t>(offset), total_);
        }
    }

  private:
    int out_;
    std::uint64_t total_;
    const CopyProgress* progress_;
    std::uint64_t size_;
    off_t told_ = 0;
    off_t waited_ = 0;
};

// Copies everything readable from the source, from its first byte, to out:
// a clone where the file system shares data, else the kernel copies chunk by
// chunk, else (another file system, or none that can) through a buffer.
bool CopyAll(int in, int out, Chunks& chunks, off_t& offset, int& err) {
    if (Clone(in, out, offset)) {
        return true;
    }
    bool kernelCopy = true;
    while (kernelCopy) {
        const ssize_t n = ::copy_file_range(in, &offset, out, nullptr, chunks.Size(), 0);
        if (n == 0) {
            chunks.Reached(offset, true);
            return true;
        }
        if (n > 0) {
            chunks.Reached(offset);
        } else if (errno != EINTR) {
            if (offset != 0 ||
                (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)) {
                err = errno;
                return false;
            }
            kernelCopy = false;
        }
    }
    std::vector<char> buffer(std::min<std::size_t>(chunks.Size(), 1 << 20));
    for (;;) {
        const ssize_t n = ::pread(in, buffer.data(), buffer.size(), offset);
        if (n == 0) {
            chunks.Reached(offset, true);
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            err = errno;
            return false;
        }
        offset += n;
        if (!WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n)), err)) {
            return false;
        }
        chunks.Reached(offset);
    }
}

}  // namespace

namespace sys {

void Close(std::intptr_t native) {
    ::close(static_cast<int>(native));
}

// Until its folder is flushed, a new or renamed entry may vanish in a power
// cut; the file the entry names is the one the failure is told about.
bool SyncFolderOf(const fs::path& entry, IoError& error) {
    const File dir(::open(FolderOf(entry).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return (dir && ::fsync(Fd(dir)) == 0) || Fail(error, IoError::Kind::Other, entry, errno);
}

// O_NONBLOCK keeps a FIFO or device from blocking the open; it is cleared
// again for the reads.
File OpenForReading(const fs::path& file, FileIdentity& state, IoError& error) {
    File fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        Fail(error, errno == ENOENT ? IoError::Kind::SourceMissing : IoError::Kind::Other, file,
             errno);
        return fd;
    }
    struct stat st {};
    if (::fstat(Fd(fd), &st) != 0 || !S_ISREG(st.st_mode)) {
        Fail(error, IoError::Kind::Other, file, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        fd.reset();
        return fd;
    }
    ::fcntl(Fd(fd), F_SETFL, ::fcntl(Fd(fd), F_GETFL) & ~O_NONBLOCK);
    state = IdentityFrom(st);
    return fd;
}

bool StateOf(const File& file, FileIdentity& state) {
    struct stat st {};
    if (::fstat(Fd(file), &st) != 0) {
        return false;
    }
    state = IdentityFrom(st);
    return true;
}

// The lock marks the file as live for RemoveIfStale.
File CreateExclusive(const fs::path& file, bool& nameTaken, IoError& error) {
    File fd(::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd) {
        ::flock(Fd(fd), LOCK_EX | LOCK_NB);
        return fd;
    }
    nameTaken = errno == EEXIST;
    Fail(error, IoError::Kind::Other, FolderOf(file), errno);
    return fd;
}

bool CopyBytes(const File& in, const File& out, std::uint64_t total, const CopyProgress* progress,
               std::uint64_t& copied, const fs::path& from, const fs::path& to, IoError& error) {
    off_t offset = 0;
    int err = 0;
    Chunks chunks(Fd(out), total, progress);
    const bool done = CopyAll(Fd(in), Fd(out), chunks, offset, err);
    copied = static_cast<std::uint64_t>(offset);
    return done ||
           Fail(error, IoError::Kind::Other, err == ENOSPC || err == EDQUOT ? to : from, err);
}

bool WriteBytes(const File& out, std::string_view bytes, const fs::path& file, IoError& error) {
    int err = 0;
    return WriteAll(Fd(out), bytes, err) || Fail(error, IoError::Kind::Other, file, err);
}

std::int64_t ReadSome(const File& in, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(Fd(in), buffer, size);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

bool Flush(const File& file, const fs::path& path, IoError& error) {
    return ::fsync(Fd(file)) == 0 || Fail(error, IoError::Kind::Other, path, errno);
}

bool FlushStored(const fs::path& file) {
    File fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return fd && ::fsync(Fd(fd)) == 0;
}

bool ApplyAttributes(const File* source, const File& copy, const fs::path& copyPath,
                     const fs::path& target, Attributes attributes, IoError& error) {
    struct stat from {};
    if (source && ::fstat(Fd(*source), &from) != 0) {
        return Fail(error, IoError::Kind::Other, copyPath, errno);
    }
    mode_t mode = source ? from.st_mode & 0777 : 0644;
    struct stat replaced {};
    if (attributes == Attributes::OfTarget && ::stat(target.c_str(), &replaced) == 0 &&
        S_ISREG(replaced.st_mode)) {
        mode = replaced.st_mode & 0777;
        // Only a privileged process may give a file away; otherwise the
        // copy stays the user's own, as a new file would.
        if (source && ::fchown(Fd(copy), replaced.st_uid, replaced.st_gid) != 0 && errno != EPERM) {
            return Fail(error, IoError::Kind::Other, copyPath, errno);
        }
    }
    if (::fchmod(Fd(copy), mode) != 0) {
        return Fail(error, IoError::Kind::Other, copyPath, errno);
    }
    if (source) {
        const struct timespec times[2] = {from.st_atim, from.st_mtim};
        if (::futimens(Fd(copy), times) != 0) {
            return Fail(error, IoError::Kind::Other, copyPath, errno);
        }
    }
    return true;
}

// The descriptor, and with it the lock, stays open until the file has its
// name, so that no sweep can take it for a stale one.
bool CommitTemp(File& temp, const fs::path& tempPath, const fs::path& target, Overwrite overwrite,
                IoError& error) {
    if (overwrite == Overwrite::Allow) {
        if (::rename(tempPath.c_str(), target.c_str()) != 0) {
            return Fail(error, IoError::Kind::Other, target, errno);
        }
    } else if (::renameat2(AT_FDCWD, tempPath.c_str(), AT_FDCWD, target.c_str(),
                           RENAME_NOREPLACE) != 0) {
        int err = errno;
        if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) {
            return Fail(error, err == EEXIST ? IoError::Kind::TargetExists : IoError::Kind::Other,
                        target, err);
        }
        // File systems without an atomic no-replace rename still refuse a
        // hard link over an existing name.
        if (::link(tempPath.c_str(), target.c_str()) != 0) {
            err = errno;
            return Fail(error, err == EEXIST ? IoError::Kind::TargetExists : IoError::Kind::Other,
                        target, err);
        }
        ::unlink(tempPath.c_str());
    }
    temp.reset();
    return SyncFolderOf(target, error);
}

bool RenameReplacing(const fs::path& from, const fs::path& to, IoError& error) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return Fail(error, IoError::Kind::Other, to, errno);
    }
    return SyncFolderOf(to, error);
}

bool HardLink(const fs::path& existing, const fs::path& link, bool& nameTaken) {
    if (::link(existing.c_str(), link.c_str()) == 0) {
        return true;
    }
    nameTaken = errno == EEXIST;
    return false;
}

// A live copy holds its lock; a crashed one's lock went with its process.
void RemoveIfStale(const fs::path& file) {
    File fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd && ::flock(Fd(fd), LOCK_EX | LOCK_NB) == 0) {
        ::unlink(file.c_str());
    }
}

fs::path ResolveLink(const fs::path& start) {
    fs::path file = start;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(file, ec)); ++hops) {
        const fs::path next = fs::read_symlink(file, ec);
        if (ec) {
            break;
        }
        file = next.is_absolute() ? next : file.parent_path() / next;
    }
    return file;
}

}  // namespace sys

bool EntryExists(const fs::path& entry) {
    struct stat st {};
    return ::lstat(entry.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

std::optional<FileIdentity> IdentityOf(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return IdentityFrom(st);
}

bool RemoveEntry(const fs::path& entry, IoError& error) {
    if (::unlink(entry.c_str()) == 0 || errno == ENOENT) {
        return true;
    }
    return Fail(error, IoError::Kind::Other, entry, errno);
}

}  // namespace tsumugiya::platform
