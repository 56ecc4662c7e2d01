// Linux folder listing, creation and file-name matching.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>
#include <thread>

#include "platform/Platform.h"
#include "platform/Primitives.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {

namespace {

// The status of name in the folder open as dir (AT_FDCWD: name is a path).
// The link flag comes from the entry's type when the listing gave one.
EntryStatus StatusAt(int dir, const char* name, unsigned char type) {
    EntryStatus status;
    struct stat st {};
    if (type == DT_UNKNOWN) {
        status.isLink = ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    } else {
        status.isLink = type == DT_LNK;
    }
    if (::fstatat(dir, name, &st, 0) != 0) {
        return status;
    }
    status.isDirectory = S_ISDIR(st.st_mode);
    if (S_ISREG(st.st_mode)) {
        status.size = static_cast<std::uint64_t>(st.st_size);
        status.modificationTime = st.st_mtim.tv_sec;
        status.made =
            FileTimeStamp{st.st_ctim.tv_sec, static_cast<std::int32_t>(st.st_ctim.tv_nsec)};
    }
    return status;
}

}  // namespace

struct FolderReader::Impl {
    DIR* dir = nullptr;
    const dirent* entry = nullptr;
    std::string name;
};

FolderReader::FolderReader(const fs::path& folder) : impl_(std::make_unique<Impl>()) {
    impl_->dir = ::opendir(folder.c_str());
}

FolderReader::~FolderReader() {
    if (impl_->dir) {
        ::closedir(impl_->dir);
    }
}

bool FolderReader::Next() {
    while (impl_->dir && (impl_->entry = ::readdir(impl_->dir)) != nullptr) {
        const std::string_view name = impl_->entry->d_name;
        if (name != "." && name != "..") {
            impl_->name = name;
            return true;
        }
    }
    return false;
}

const std::string& FolderReader::Name() const {
    return impl_->name;
}

EntryStatus FolderReader::Status() const {
    return StatusAt(::dirfd(impl_->dir), impl_->entry->d_name, impl_->entry->d_type);
}

EntryStatus StatusOf(const fs::path& entry) {
    return StatusAt(AT_FDCWD, entry.c_str(), DT_UNKNOWN);
}

// A status read costs a name lookup in the kernel, most of the time a listing
// of many thousands takes; the lookups of different names run side by side.
std::vector<FolderEntry> ReadFolder(const fs::path& folder,
                                    const std::function<bool(const std::string&)>& wanted) {
    std::vector<FolderEntry> entries;
    const std::unique_ptr<DIR, int (*)(DIR*)> open(::opendir(folder.c_str()), ::closedir);
    if (!open) {
        return entries;
    }
    std::vector<unsigned char> types;
    std::string name;
    while (const dirent* entry = ::readdir(open.get())) {
        name = entry->d_name;
        if (name != "." && name != ".." && wanted(name)) {
            entries.push_back({name, {}});
            types.push_back(entry->d_type);
        }
    }
    const int dir = ::dirfd(open.get());
    const auto readSlice = [&](std::size_t first, std::size_t end) {
        for (std::size_t i = first; i < end; ++i) {
            entries[i].status = StatusAt(dir, entries[i].name.c_str(), types[i]);
        }
    };
    constexpr std::size_t kPerThread = 4096;
    const std::size_t threads =
        std::clamp<std::size_t>(std::min<std::size_t>(std::thread::hardware_concurrency(), 4), 1,
                                (entries.size() + kPerThread - 1) / kPerThread);
    std::vector<std::jthread> helpers;
    helpers.reserve(threads);
    const std::size_t slice = (entries.size() + threads - 1) / std::max<std::size_t>(threads, 1);
    try {
        for (std::size_t t = 1; t < threads; ++t) {
            helpers.emplace_back(readSlice, t * slice, std::min(entries.size(), (t + 1) * slice));
        }
    } catch (const std::system_error&) {  // no thread to be had: this one reads the rest
        readSlice(std::min(entries.size(), (helpers.size() + 1) * slice), entries.size());
    }
    readSlice(0, std::min(entries.size(), slice));
    return entries;
}

namespace {

// Where the UTF-8 character after the one at i starts.
std::size_t NextCharacter(std::string_view text, std::size_t i) {
    do {
        ++i;
    } while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80);
    return i;
}

bool SameLetter(char a, char b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(a) == lower(b);
}

}  // namespace

// Matched here rather than by fnmatch, whose case folding goes through wide
// characters and took most of a listing's own time: ASCII letters match
// without case, like the file names the program makes.
bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t p = 0, n = 0, star = kNone, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n = NextCharacter(name, n);
        } else if (p < pattern.size() && SameLetter(pattern[p], name[n])) {
            ++p;
            ++n;
        } else if (star != kNone) {
            p = star + 1;
            n = resume = NextCharacter(name, resume);
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::size_t MaxFileNameLength(const fs::path& folder) {
    long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

std::size_t NameLength(std::string_view name) {
    return name.size();
}

bool IsDirectory(const fs::path& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The new entry is in the parent folder: until that is flushed, a power cut
// can take the folder with everything written into it. One whose flush failed
// is taken away again, so that no later run finds it and writes in it.
bool CreateDirectory(const fs::path& folder, IoError& error) {
    if (::mkdir(folder.c_str(), 0777) == 0) {
        return sys::SyncFolderOf(folder, error) || (::rmdir(folder.c_str()), false);
    }
    error = IoError{errno == EEXIST ? IoError::Kind::TargetExists : IoError::Kind::Other, folder,
                    ErrnoCause(errno)};
    return false;
}

// An advisory lock on the folder itself: nothing is created in it.
FolderLock::FolderLock(const fs::path& folder)
    : handle_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    int locked;
    while ((locked = ::flock(static_cast<int>(handle_), LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (handle_ >= 0 && locked != 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

FolderLock::~FolderLock() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

bool FolderLock::Held() const {
    return handle_ >= 0;
}

}  // namespace tsumugiya::platform
