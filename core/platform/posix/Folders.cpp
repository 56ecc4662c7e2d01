// POSIX folder listing, creation and file-name matching.

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>

#include "platform/Platform.h"

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

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    const std::string p(pattern);
    const std::string n(name);
    return ::fnmatch(p.c_str(), n.c_str(), FNM_CASEFOLD) == 0;
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

bool CreateDirectory(const fs::path& folder, IoError& error) {
    if (::mkdir(folder.c_str(), 0777) == 0) {
        return true;
    }
    error = IoError{IoError::Kind::Other, folder,
                    std::error_code(errno, std::generic_category()).message()};
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
