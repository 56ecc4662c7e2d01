// POSIX file operations: status, removal and commit-or-nothing copies.

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <system_error>
#include <thread>

#include "platform/Platform.h"
#include "platform/posix/UniqueFd.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {
namespace {

constexpr int kCopyAttempts = 5;
constexpr std::string_view kTempPattern = ".tsumugiya-*.tmp";

std::string Cause(int err) {
    return std::error_code(err, std::generic_category()).message();
}

bool Fail(IoError& error, IoError::Kind kind, const fs::path& file, int err) {
    error = IoError{kind, file, Cause(err)};
    return false;
}

fs::path FolderOf(const fs::path& file) {
    fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Flushes a folder so that a rename inside it survives a crash.
void SyncFolder(const fs::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.get());
    }
}

// A uniquely named file beside the target that disappears unless committed.
// It stays locked while open, which tells a live one from one left by a crash.
class TempFile {
  public:
    bool Create(const fs::path& folder, IoError& error) {
        std::string pattern = (folder / ".tsumugiya-XXXXXX.tmp").string();
        fd_.reset(::mkostemps(pattern.data(), 4, O_CLOEXEC));
        if (!fd_) {
            return Fail(error, IoError::Kind::Other, folder, errno);
        }
        path_ = pattern;
        ::flock(fd_.get(), LOCK_EX | LOCK_NB);
        return true;
    }
    ~TempFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    int fd() const { return fd_.get(); }
    const fs::path& path() const { return path_; }

    // Flushes the data; the file stays until Commit or destruction.
    bool Finish(IoError& error) {
        if (::fsync(fd_.get()) != 0) {
            return Fail(error, IoError::Kind::Other, path_, errno);
        }
        return true;
    }

    bool Commit(const fs::path& target, Overwrite overwrite, IoError& error) {
        if (overwrite == Overwrite::Allow) {
            if (::rename(path_.c_str(), target.c_str()) != 0) {
                return Fail(error, IoError::Kind::Other, target, errno);
            }
        } else if (!CommitNoReplace(target, error)) {
            return false;
        }
        path_.clear();
        fd_.reset();
        SyncFolder(FolderOf(target));
        return true;
    }

  private:
    bool CommitNoReplace(const fs::path& target, IoError& error) {
        if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            return true;
        }
        int err = errno;
        if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) {
            // File systems without an atomic no-replace rename still refuse a
            // hard link over an existing name.
            if (::link(path_.c_str(), target.c_str()) == 0) {
                ::unlink(path_.c_str());
                return true;
            }
            err = errno;
        }
        auto kind = err == EEXIST ? IoError::Kind::TargetExists : IoError::Kind::Other;
        return Fail(error, kind, target, err);
    }

    UniqueFd fd_;
    fs::path path_;
};

bool SameState(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec && a.st_ino == b.st_ino;
}

// Copies everything readable from the source, from its first byte, to out.
bool CopyData(int in, int out, int& err) {
    off_t offset = 0;
    bool kernelCopy = true;
    while (kernelCopy) {
        ssize_t n = ::copy_file_range(in, &offset, out, nullptr, 1 << 30, 0);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (offset != 0 ||
                (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)) {
                err = errno;
                return false;
            }
            kernelCopy = false;
        }
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ssize_t n = ::pread(in, buffer.data(), buffer.size(), offset);
        if (n == 0) {
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
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buffer.data() + done, n - done);
            if (w < 0 && errno != EINTR) {
                err = errno;
                return false;
            }
            done += w > 0 ? w : 0;
        }
    }
}

enum class Attempt { Done, SourceChanged, Failed };

Attempt CopyOnce(const fs::path& from, const fs::path& to, Overwrite overwrite, IoError& error) {
    UniqueFd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source) {
        auto kind = errno == ENOENT ? IoError::Kind::SourceMissing : IoError::Kind::Other;
        Fail(error, kind, from, errno);
        return Attempt::Failed;
    }
    const int in = source.get();
    struct stat before {};
    if (::fstat(in, &before) != 0 || !S_ISREG(before.st_mode)) {
        Fail(error, IoError::Kind::Other, from, S_ISDIR(before.st_mode) ? EISDIR : EINVAL);
        return Attempt::Failed;
    }
    TempFile temp;
    if (!temp.Create(FolderOf(to), error)) {
        return Attempt::Failed;
    }
    int err = 0;
    if (!CopyData(in, temp.fd(), err)) {
        Fail(error, IoError::Kind::Other, err == ENOSPC || err == EDQUOT ? to : from, err);
        return Attempt::Failed;
    }
    struct stat after {};
    struct stat onDisk {};
    if (::fstat(in, &after) != 0 || !SameState(before, after) ||
        (::stat(from.c_str(), &onDisk) == 0 && !SameState(before, onDisk))) {
        return Attempt::SourceChanged;
    }
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::fchmod(temp.fd(), before.st_mode & 0777) != 0 || ::futimens(temp.fd(), times) != 0) {
        Fail(error, IoError::Kind::Other, temp.path(), errno);
        return Attempt::Failed;
    }
    if (!temp.Finish(error) || !temp.Commit(to, overwrite, error)) {
        return Attempt::Failed;
    }
    return Attempt::Done;
}

// The file a write to this path should replace: a link's final target.
fs::path ResolveLink(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(file, ec))) {
        return file;
    }
    fs::path resolved = fs::canonical(file, ec);
    return ec ? file : resolved;
}

// Gives the file's data a second name without copying it: a hard link under a
// temporary name, renamed over the keep path.
bool LinkAsPrevious(const fs::path& file, const fs::path& keep) {
    // link() refuses an existing name, so a random one needs no reservation
    // (creating a file first costs more than the whole link).
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    const fs::path source = ResolveLink(file);
    std::string name;
    for (int attempt = 0;; ++attempt) {
        std::string letters(6, 'x');
        for (char& c : letters) {
            c = kLetters[random() % (sizeof kLetters - 1)];
        }
        name = (FolderOf(keep) / (".tsumugiya-" + letters + ".tmp")).string();
        if (::link(source.c_str(), name.c_str()) == 0) {
            break;
        }
        if (errno != EEXIST || attempt == 8) {
            return false;
        }
    }
    const bool renamed = ::rename(name.c_str(), keep.c_str()) == 0;
    // A rename between two names of one file (keep left linked to the file by
    // an interrupted restore) succeeds without removing the temporary name.
    ::unlink(name.c_str());
    if (!renamed) {
        return false;
    }
    SyncFolder(FolderOf(keep));
    return true;
}

}  // namespace

bool ReadFileStatus(const fs::path& file, OpenedFileStatus& status, IoError& error) {
    if (file.empty()) {
        return Fail(error, IoError::Kind::SourceMissing, file, ENOENT);
    }
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        auto kind = errno == ENOENT ? IoError::Kind::SourceMissing : IoError::Kind::Other;
        return Fail(error, kind, file, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        status.modificationTime.reset();
        return true;
    }
    if (!S_ISREG(st.st_mode)) {
        return Fail(error, IoError::Kind::Other, file, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    status.modificationTime = st.st_mtim.tv_sec;
    return true;
}

bool EntryExists(const fs::path& entry) {
    struct stat st {};
    return ::lstat(entry.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

bool CopyFileAtomically(const fs::path& from, const fs::path& to, Overwrite overwrite,
                        bool followTargetLink, IoError& error) {
    if (from.empty() || to.empty()) {
        return Fail(error, IoError::Kind::SourceMissing, from, ENOENT);
    }
    const fs::path target = followTargetLink ? ResolveLink(to) : to;
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        switch (CopyOnce(from, target, overwrite, error)) {
            case Attempt::Done:
                return true;
            case Attempt::Failed:
                return false;
            case Attempt::SourceChanged:
                std::this_thread::sleep_for(std::chrono::milliseconds(20 << attempt));
                break;
        }
    }
    error =
        IoError{IoError::Kind::SourceChanged, from, "the file kept changing while it was copied"};
    return false;
}

bool KeepPreviousVersion(const fs::path& file, const fs::path& keep, IoError& error) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        auto kind = errno == ENOENT ? IoError::Kind::SourceMissing : IoError::Kind::Other;
        return Fail(error, kind, file, errno);
    }
    return (S_ISREG(st.st_mode) && LinkAsPrevious(file, keep)) ||
           CopyFileAtomically(file, keep, Overwrite::Allow, false, error);
}

bool WriteFileAtomically(const fs::path& to, std::string_view bytes, IoError& error) {
    const fs::path target = ResolveLink(to);
    struct stat existing {};
    const mode_t mode = ::stat(target.c_str(), &existing) == 0 ? existing.st_mode & 0777 : 0644;
    TempFile temp;
    if (!temp.Create(FolderOf(target), error)) {
        return false;
    }
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t w = ::write(temp.fd(), bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno != EINTR) {
            return Fail(error, IoError::Kind::Other, target, errno);
        }
        done += w > 0 ? static_cast<std::size_t>(w) : 0;
    }
    if (::fchmod(temp.fd(), mode) != 0) {
        return Fail(error, IoError::Kind::Other, temp.path(), errno);
    }
    return temp.Finish(error) && temp.Commit(target, Overwrite::Allow, error);
}

bool ReadWholeFile(const fs::path& file, std::string& bytes) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    bytes.clear();
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool RemoveEntry(const fs::path& entry) {
    return ::unlink(entry.c_str()) == 0 || errno == ENOENT;
}

void RemoveStaleTempFiles(const fs::path& folder) {
    for (const std::string& name : ListFolder(folder)) {
        if (!MatchesWildcard(kTempPattern, name)) {
            continue;
        }
        const fs::path path = folder / name;
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());
        }
    }
}

}  // namespace tsumugiya::platform
