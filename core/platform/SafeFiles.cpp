// Commit-or-nothing copies and writes, the same on every platform: only the
// system calls below them (Primitives.h) differ.

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/Primitives.h"

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
        static int here;  // its address differs between processes where ASLR is on
        std::uint64_t seed =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                                       reinterpret_cast<std::uintptr_t>(&here));
        try {
            seed ^= std::random_device()();
        } catch (...) {  // no entropy source: the clock still differs per run
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

bool NoSuchFile(const fs::path& file, IoError& error) {
    error = IoError{IoError::Kind::SourceMissing, file, ErrnoCause(ENOENT)};
    return false;
}

fs::path FolderOf(const fs::path& file) {
    fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

fs::path TempPathIn(const fs::path& folder) {
    return folder / fs::path(std::u8string(reinterpret_cast<const char8_t*>(TempName().c_str())));
}

// A uniquely named file beside the target that disappears unless committed.
// It is held open until then, which tells a live one from one left by a crash.
class TempFile {
  public:
    bool Create(const fs::path& folder, IoError& error) {
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const fs::path path = TempPathIn(folder);
            bool nameTaken = false;
            file_ = sys::CreateExclusive(path, nameTaken, error);
            if (file_) {
                path_ = path;
                return true;
            }
            if (!nameTaken) {
                return false;
            }
        }
        return false;
    }
    ~TempFile() {
        if (!path_.empty()) {
            file_.reset();
            RemoveEntry(path_);
        }
    }
    const sys::File& file() const { return file_; }
    const fs::path& path() const { return path_; }

    // Flushes the data; the file stays until Commit or destruction.
    bool Finish(IoError& error) { return sys::Flush(file_, path_, error); }

    bool Commit(const fs::path& target, Overwrite overwrite, IoError& error) {
        if (!sys::CommitTemp(file_, path_, target, overwrite, error)) {
            return false;
        }
        path_.clear();
        file_.reset();
        return true;
    }

  private:
    sys::File file_;
    fs::path path_;
};

enum class Attempt { Done, SourceChanged, Failed };

// Makes a flushed copy of from in temp, in to's folder; not yet in place.
Attempt StageOnce(const fs::path& from, const fs::path& to, Attributes attributes, TempFile& temp,
                  IoError& error, const CopyProgress* progress) {
    FileIdentity before;
    const sys::File source = sys::OpenForReading(from, before, error);
    if (!source || !temp.Create(FolderOf(to), error)) {
        return Attempt::Failed;
    }
    std::uint64_t copied = 0;
    if (!sys::CopyBytes(source, temp.file(), before.size, progress, copied, from, to, error)) {
        return Attempt::Failed;
    }
    // A source that ended early, changed while open or was replaced meanwhile
    // gives no one state of the file.
    FileIdentity after;
    const auto onDisk = IdentityOf(from);
    if (copied != before.size || !sys::StateOf(source, after) || after != before ||
        (onDisk && *onDisk != before)) {
        return Attempt::SourceChanged;
    }
    if (!sys::ApplyAttributes(&source, temp.file(), temp.path(), to, attributes, error)) {
        return Attempt::Failed;
    }
    return temp.Finish(error) ? Attempt::Done : Attempt::Failed;
}

enum class Linked { Yes, No, Failed };

// Gives the file's data a second name without copying it: a hard link under a
// temporary name, renamed over the keep path. No when the system cannot link
// it; Failed when the keep path may have changed without reaching the disk.
Linked LinkAsPrevious(const fs::path& file, const fs::path& keep, IoError& error) {
    // A link refuses an existing name, so a random one needs no reservation
    // (creating a file first costs more than the whole link).
    const fs::path source = sys::ResolveLink(file);
    fs::path name;
    for (int attempt = 0;; ++attempt) {
        name = TempPathIn(FolderOf(keep));
        bool nameTaken = false;
        if (sys::HardLink(source, name, nameTaken)) {
            break;
        }
        if (!nameTaken || attempt == kNameAttempts) {
            return Linked::No;
        }
    }
    const bool renamed = sys::RenameReplacing(name, keep, error);
    // A rename between two names of one file (keep left linked to the file by
    // an interrupted restore) succeeds without removing the temporary name.
    RemoveEntry(name);
    return renamed ? Linked::Yes : Linked::Failed;
}

}  // namespace

struct StagedCopy::Impl {
    TempFile temp;
    fs::path target;
};

StagedCopy::StagedCopy() = default;
StagedCopy::~StagedCopy() = default;

bool StagedCopy::Prepare(const fs::path& from, const fs::path& to, bool followTargetLink,
                         Attributes attributes, IoError& error, const CopyProgress* progress) {
    impl_.reset();
    if (from.empty() || to.empty()) {
        return NoSuchFile(from, error);
    }
    const fs::path target = followTargetLink ? sys::ResolveLink(to) : to;
    // The commands sweep the folder of the name they were given; a copy cut
    // short beside the file a link leads to is swept here.
    if (FolderOf(target) != FolderOf(to)) {
        RemoveStaleTempFiles(FolderOf(target));
    }
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        auto staged = std::make_unique<Impl>();
        staged->target = target;
        switch (StageOnce(from, target, attributes, staged->temp, error, progress)) {
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
    error = IoError{IoError::Kind::SourceChanged, from,
                    "コピーしている間にファイルが書き換えられ続けました"};
    return false;
}

bool StagedCopy::Commit(Overwrite overwrite, IoError& error) {
    if (!impl_) {
        error = IoError{IoError::Kind::Other, {}, "コピーが用意されていません"};
        return false;
    }
    const bool done = impl_->temp.Commit(impl_->target, overwrite, error);
    impl_.reset();
    return done;
}

bool CopyFileAtomically(const fs::path& from, const fs::path& to, Overwrite overwrite,
                        bool followTargetLink, IoError& error, const CopyProgress* progress) {
    StagedCopy copy;
    return copy.Prepare(from, to, followTargetLink, Attributes::OfSource, error, progress) &&
           copy.Commit(overwrite, error);
}

bool ReadFileStatus(const fs::path& file, OpenedFileStatus& status, IoError& error) {
    if (file.empty()) {
        return NoSuchFile(file, error);
    }
    FileIdentity state;
    if (!sys::OpenForReading(file, state, error)) {
        return false;
    }
    status.modificationTime = state.modified.seconds;
    return true;
}

bool HaveSameContent(const fs::path& a, const fs::path& b) {
    IoError ignored;
    FileIdentity one;
    FileIdentity two;
    const sys::File first = sys::OpenForReading(a, one, ignored);
    const sys::File second = first ? sys::OpenForReading(b, two, ignored) : sys::File();
    if (!second || one.size != two.size) {
        return false;
    }
    if (one.device == two.device && one.inode == two.inode) {
        return true;
    }
    std::vector<char> left(64 * 1024);
    std::vector<char> right(left.size());
    for (;;) {
        const std::int64_t got = sys::ReadSome(first, left.data(), left.size());
        if (got <= 0) {
            return got == 0 && sys::ReadSome(second, right.data(), 1) == 0;
        }
        std::size_t filled = 0;
        while (filled < static_cast<std::size_t>(got)) {
            const std::int64_t more = sys::ReadSome(second, right.data() + filled,
                                                    static_cast<std::size_t>(got) - filled);
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

bool KeepPreviousVersion(const fs::path& file, const fs::path& keep, IoError& error,
                         const CopyProgress* progress) {
    FileIdentity state;
    if (!sys::OpenForReading(file, state, error)) {
        return false;
    }
    // The keep name may only share data that is on disk before the file is
    // replaced; where that cannot be made sure of, it gets a flushed copy.
    const Linked linked = sys::FlushStored(file) ? LinkAsPrevious(file, keep, error) : Linked::No;
    return linked == Linked::Yes ||
           (linked == Linked::No &&
            CopyFileAtomically(file, keep, Overwrite::Allow, false, error, progress));
}

bool WriteFileAtomically(const fs::path& to, std::string_view bytes, IoError& error) {
    const fs::path target = sys::ResolveLink(to);
    TempFile temp;
    return temp.Create(FolderOf(target), error) &&
           sys::WriteBytes(temp.file(), bytes, target, error) &&
           sys::ApplyAttributes(nullptr, temp.file(), temp.path(), target, Attributes::OfTarget,
                                error) &&
           temp.Finish(error) && temp.Commit(target, Overwrite::Allow, error);
}

bool ReadWholeFile(const fs::path& file, std::string& bytes) {
    IoError ignored;
    FileIdentity state;
    const sys::File in = sys::OpenForReading(file, state, ignored);
    if (!in) {
        return false;
    }
    bytes.clear();
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const std::int64_t n = sys::ReadSome(in, buffer.data(), buffer.size());
        if (n <= 0) {
            return n == 0;
        }
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

bool RemoveEntry(const fs::path& entry) {
    IoError ignored;
    return RemoveEntry(entry, ignored);
}

bool FlushFolder(const fs::path& folder, IoError& error) {
#ifdef _WIN32
    static_cast<void>(folder);
    static_cast<void>(error);
    return true;
#else
    return sys::SyncFolderOf(folder / ".", error);
#endif
}

bool SweepIfTempName(const fs::path& folder, std::string_view name) {
    if (!IsTempName(name)) {
        return false;
    }
    sys::RemoveIfStale(folder / PathFromUtf8(name));
    return true;
}

void RemoveStaleTempFiles(const fs::path& folder) {
    for (FolderReader entries(folder); entries.Next();) {
        SweepIfTempName(folder, entries.Name());
    }
}

bool CreateFolders(const fs::path& folder, IoError& error) {
    if (folder.empty() || IsDirectory(folder)) {
        return true;
    }
    const fs::path parent = folder.parent_path();
    if (parent != folder && !CreateFolders(parent, error)) {
        return false;
    }
    // Another process may make the same folder meanwhile.
    return CreateDirectory(folder, error) ||
           (error.kind == IoError::Kind::TargetExists && IsDirectory(folder));
}

std::vector<std::string> ListFolder(const fs::path& folder) {
    std::vector<std::string> names;
    for (FolderReader entries(folder); entries.Next();) {
        names.push_back(entries.Name());
    }
    return names;
}

}  // namespace tsumugiya::platform
