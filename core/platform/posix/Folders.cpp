// POSIX folder listing, creation and file-name matching.

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

std::vector<std::string> ListFolder(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    return names;
}

EntryStatus StatusOf(const fs::path& entry) {
    EntryStatus status;
    struct stat st {};
    status.isLink = ::lstat(entry.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    if (::stat(entry.c_str(), &st) != 0) {
        return status;
    }
    status.isDirectory = S_ISDIR(st.st_mode);
    if (S_ISREG(st.st_mode)) {
        status.size = static_cast<std::uint64_t>(st.st_size);
        status.modificationTime = st.st_mtim.tv_sec;
    }
    return status;
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
