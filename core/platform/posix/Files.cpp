// POSIX file operations: status, removal and commit-or-nothing copies.

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/UniqueFd.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {
namespace {

constexpr int kCopyAttempts = 5;
constexpr int kNameAttempts = 16;
constexpr std::string_view kTempPrefix = ".tsumugiya-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::string_view kTempLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::size_t kTempRandomLength = 6;

// A fresh temporary name; only names of exactly this form are ever swept.
std::string TempName() {
    thread_local std::mt19937_64 random = [] {
        std::uint64_t seed = static_cast<std::uint64_t>(
            std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid());
        try {
            seed ^= std::random_device()();
        } catch (...) {  // no entropy source: the clock and pid still differ per run
        }
        return std::mt19937_64(seed);
    }();
    std::string name(kTempPrefix);
    for (std::size_t i = 0; i < kTempRandomLength; ++i) {
        name += kTempLetters[random() % kTempLetters.size()];
    }
    return name += kTempSuffix;
}

bool IsTempName(std::string_view name) {
    if (name.size() != kTempPrefix.size() + kTempRandomLength + kTempSuffix.size() ||
        !name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix)) {
        return false;
    }
    const auto letters = name.substr(kTempPrefix.size(), kTempRandomLength);
    return letters.find_first_not_of(kTempLetters) == letters.npos;
}

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

// Opens a regular file for reading. O_NONBLOCK keeps a FIFO or device from
// blocking the open; it is cleared again for the reads.
UniqueFd OpenRegular(const fs::path& file, struct stat& st, IoError& error) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        Fail(error, errno == ENOENT ? IoError::Kind::SourceMissing : IoError::Kind::Other, file,
             errno);
        return fd;
    }
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        Fail(error, IoError::Kind::Other, file, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        fd.reset();
        return fd;
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
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
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const fs::path path = folder / TempName();
            fd_.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (fd_) {
                path_ = path;
                ::flock(fd_.get(), LOCK_EX | LOCK_NB);
                return true;
            }
            if (errno != EEXIST) {
                break;
            }
        }
        return Fail(error, IoError::Kind::Other, folder, errno);
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

// Copies everything readable from the source, from its first byte, to out.
bool CopyAll(int in, int out, off_t& offset, int& err) {
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
        if (!WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n)), err)) {
            return false;
        }
    }
}

// Copies exactly size bytes; a source that ends early counts as changed.
bool CopyData(int in, int out, off_t size, bool& shortCopy, int& err) {
    off_t copied = 0;
    if (!CopyAll(in, out, copied, err)) {
        return false;
    }
    shortCopy = copied != size;
    return true;
}

enum class Attempt { Done, SourceChanged, Failed };

// Makes a flushed copy of from in temp, in to's folder; not yet in place.
Attempt StageOnce(const fs::path& from, const fs::path& to, Attributes attributes, TempFile& temp,
                  IoError& error) {
    struct stat before {};
    UniqueFd source = OpenRegular(from, before, error);
    if (!source) {
        return Attempt::Failed;
    }
    const int in = source.get();
    if (!temp.Create(FolderOf(to), error)) {
        return Attempt::Failed;
    }
    int err = 0;
    bool shortCopy = false;
    if (!CopyData(in, temp.fd(), before.st_size, shortCopy, err)) {
        Fail(error, IoError::Kind::Other, err == ENOSPC || err == EDQUOT ? to : from, err);
        return Attempt::Failed;
    }
    struct stat after {};
    struct stat onDisk {};
    if (shortCopy || ::fstat(in, &after) != 0 || !SameState(before, after) ||
        (::stat(from.c_str(), &onDisk) == 0 && !SameState(before, onDisk))) {
        return Attempt::SourceChanged;
    }
    mode_t mode = before.st_mode & 0777;
    struct stat replaced {};
    if (attributes == Attributes::OfTarget && ::stat(to.c_str(), &replaced) == 0 &&
        S_ISREG(replaced.st_mode)) {
        mode = replaced.st_mode & 0777;
        // Only a privileged process may give a file away; otherwise the
        // copy stays the user's own, as a new file would.
        if (::fchown(temp.fd(), replaced.st_uid, replaced.st_gid) != 0 && errno != EPERM) {
            Fail(error, IoError::Kind::Other, temp.path(), errno);
            return Attempt::Failed;
        }
    }
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::fchmod(temp.fd(), mode) != 0 || ::futimens(temp.fd(), times) != 0) {
        Fail(error, IoError::Kind::Other, temp.path(), errno);
        return Attempt::Failed;
    }
    return temp.Finish(error) ? Attempt::Done : Attempt::Failed;
}

// The file a write to this path should replace: the end of a chain of links,
// also when it does not exist yet (a link to a save not written yet).
fs::path ResolveLink(fs::path file) {
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

// Gives the file's data a second name without copying it: a hard link under a
// temporary name, renamed over the keep path.
bool LinkAsPrevious(const fs::path& file, const fs::path& keep) {
    // link() refuses an existing name, so a random one needs no reservation
    // (creating a file first costs more than the whole link).
    const fs::path source = ResolveLink(file);
    std::string name;
    for (int attempt = 0;; ++attempt) {
        name = (FolderOf(keep) / TempName()).string();
        if (::link(source.c_str(), name.c_str()) == 0) {
            break;
        }
        if (errno != EEXIST || attempt == kNameAttempts) {
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

struct StagedCopy::Impl {
    TempFile temp;
    fs::path target;
};

StagedCopy::StagedCopy() = default;
StagedCopy::~StagedCopy() = default;

bool StagedCopy::Prepare(const fs::path& from, const fs::path& to, bool followTargetLink,
                         Attributes attributes, IoError& error) {
    impl_.reset();
    if (from.empty() || to.empty()) {
        return Fail(error, IoError::Kind::SourceMissing, from, ENOENT);
    }
    const fs::path target = followTargetLink ? ResolveLink(to) : to;
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        auto staged = std::make_unique<Impl>();
        staged->target = target;
        switch (StageOnce(from, target, attributes, staged->temp, error)) {
            case Attempt::Done:
                impl_ = std::move(staged);
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

bool StagedCopy::Commit(Overwrite overwrite, IoError& error) {
    if (!impl_) {
        error = IoError{IoError::Kind::Other, {}, "nothing was prepared"};
        return false;
    }
    const bool done = impl_->temp.Commit(impl_->target, overwrite, error);
    impl_.reset();
    return done;
}

bool ReadFileStatus(const fs::path& file, OpenedFileStatus& status, IoError& error) {
    if (file.empty()) {
        return Fail(error, IoError::Kind::SourceMissing, file, ENOENT);
    }
    struct stat st {};
    if (!OpenRegular(file, st, error)) {
        return false;
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
    StagedCopy copy;
    return copy.Prepare(from, to, followTargetLink, Attributes::OfSource, error) &&
           copy.Commit(overwrite, error);
}

std::optional<FileIdentity> IdentityOf(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return std::nullopt;
    }
    const auto ns = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::uint64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

bool HaveSameContent(const fs::path& a, const fs::path& b) {
    const auto open = [](const fs::path& file) {
        return UniqueFd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    };
    const UniqueFd first = open(a);
    const UniqueFd second = open(b);
    struct stat one {};
    struct stat two {};
    if (first.get() < 0 || second.get() < 0 || ::fstat(first.get(), &one) != 0 ||
        ::fstat(second.get(), &two) != 0 || !S_ISREG(one.st_mode) || !S_ISREG(two.st_mode) ||
        one.st_size != two.st_size) {
        return false;
    }
    if (one.st_dev == two.st_dev && one.st_ino == two.st_ino) {
        return true;
    }
    std::vector<char> left(64 * 1024);
    std::vector<char> right(left.size());
    for (;;) {
        const ssize_t got = ::read(first.get(), left.data(), left.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0 && ::read(second.get(), right.data(), 1) == 0;
        }
        std::size_t filled = 0;
        while (filled < static_cast<std::size_t>(got)) {
            const ssize_t more = ::read(second.get(), right.data() + filled, got - filled);
            if (more < 0 && errno == EINTR) {
                continue;
            }
            if (more <= 0) {
                return false;
            }
            filled += static_cast<std::size_t>(more);
        }
        if (std::memcmp(left.data(), right.data(), filled) != 0) {
            return false;
        }
    }
}

bool KeepPreviousVersion(const fs::path& file, const fs::path& keep, IoError& error) {
    struct stat st {};
    UniqueFd fd = OpenRegular(file, st, error);
    // The keep name must hold data that is on disk before the file is replaced.
    if (!fd || ::fsync(fd.get()) != 0) {
        return fd ? Fail(error, IoError::Kind::Other, file, errno) : false;
    }
    return LinkAsPrevious(file, keep) ||
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
    int err = 0;
    if (!WriteAll(temp.fd(), bytes, err)) {
        return Fail(error, IoError::Kind::Other, target, err);
    }
    if (::fchmod(temp.fd(), mode) != 0) {
        return Fail(error, IoError::Kind::Other, temp.path(), errno);
    }
    return temp.Finish(error) && temp.Commit(target, Overwrite::Allow, error);
}

bool ReadWholeFile(const fs::path& file, std::string& bytes) {
    struct stat st {};
    IoError ignored;
    UniqueFd fd = OpenRegular(file, st, ignored);
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
    IoError ignored;
    return RemoveEntry(entry, ignored);
}

bool RemoveEntry(const fs::path& entry, IoError& error) {
    if (::unlink(entry.c_str()) == 0 || errno == ENOENT) {
        return true;
    }
    error = IoError{IoError::Kind::Other, entry, Cause(errno)};
    return false;
}

void RemoveStaleTempFiles(const fs::path& folder) {
    for (const std::string& name : ListFolder(folder)) {
        if (!IsTempName(name)) {
            continue;
        }
        const fs::path path = folder / name;
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());
        }
    }
}

}  // namespace tsumugiya::platform
