// Windows folder listing, creation and file-name matching.

#include <cwchar>

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {
namespace {

std::wstring Upper(std::string_view text) {
    std::wstring wide = win32::Wide(text);
    if (!wide.empty()) {
        ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    }
    return wide;
}

// A status from the fields that find records and GetFileAttributesExW share.
EntryStatus StatusFrom(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, const FILETIME& written) {
    EntryStatus status;
    status.isDirectory = attributes & FILE_ATTRIBUTE_DIRECTORY;
    status.isLink = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if (!status.isDirectory) {
        status.size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
        status.modificationTime = win32::UnixTime(written).seconds;
    }
    return status;
}

}  // namespace

struct FolderReader::Impl {
    fs::path folder;
    HANDLE search = INVALID_HANDLE_VALUE;
    bool first = true;
    WIN32_FIND_DATAW found{};
    std::string name;
};

// The basic records skip the short 8.3 names; a large fetch asks the file
// system for many entries at a time.
FolderReader::FolderReader(const fs::path& folder) : impl_(std::make_unique<Impl>()) {
    impl_->folder = folder;
    impl_->search =
        ::FindFirstFileExW(win32::ApiPath(folder / L"*").c_str(), FindExInfoBasic, &impl_->found,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
}

FolderReader::~FolderReader() {
    if (impl_->search != INVALID_HANDLE_VALUE) {
        ::FindClose(impl_->search);
    }
}

bool FolderReader::Next() {
    if (impl_->search == INVALID_HANDLE_VALUE) {
        return false;
    }
    for (;;) {
        if (!impl_->first && !::FindNextFileW(impl_->search, &impl_->found)) {
            return false;
        }
        impl_->first = false;
        const std::wstring_view name = impl_->found.cFileName;
        if (name != L"." && name != L"..") {
            impl_->name = win32::Narrow(name);
            return true;
        }
    }
}

const std::string& FolderReader::Name() const {
    return impl_->name;
}

// The find record already holds a file's status; a link's record describes
// the link, so its target is asked for by path.
EntryStatus FolderReader::Status() const {
    const WIN32_FIND_DATAW& found = impl_->found;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return StatusOf(impl_->folder / std::wstring(found.cFileName));
    }
    return StatusFrom(found.dwFileAttributes, found.nFileSizeHigh, found.nFileSizeLow,
                      found.ftLastWriteTime);
}

// The find records carry the statuses: nothing more is read but for links.
std::vector<FolderEntry> ReadFolder(const fs::path& folder,
                                    const std::function<bool(const std::string&)>& wanted) {
    std::vector<FolderEntry> entries;
    for (FolderReader reader(folder); reader.Next();) {
        if (wanted(reader.Name())) {
            entries.push_back({reader.Name(), reader.Status()});
        }
    }
    return entries;
}

EntryStatus StatusOf(const fs::path& entry) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::ApiPath(entry).c_str(), GetFileExInfoStandard, &data)) {
        return EntryStatus{};
    }
    return StatusFrom(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                      data.ftLastWriteTime);
}

// Letters compare the way the file system compares names: without case.
bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    const std::wstring p = Upper(pattern);
    const std::wstring n = Upper(name);
    std::size_t pi = 0, ni = 0, star = std::wstring::npos, resume = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == L'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == L'*') {
            star = pi++;
            resume = ni;
        } else if (star != std::wstring::npos) {
            pi = star + 1;
            ni = ++resume;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == L'*') {
        ++pi;
    }
    return pi == p.size();
}

// NTFS, ReFS, exFAT and FAT with long names all stop at 255 UTF-16 units.
// (GetVolumeInformationW would say so too, but under Wine it complains on
// stderr about the Z: drive.)
std::size_t MaxFileNameLength(const fs::path&) {
    return 255;
}

// UTF-16 units: one for each character below U+10000, two above.
std::size_t NameLength(std::string_view name) {
    std::size_t units = 0;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80 ? 1 : 0;
        units += byte >= 0xF0 ? 1 : 0;
    }
    return units;
}

bool IsDirectory(const fs::path& folder) {
    const DWORD attributes = ::GetFileAttributesW(win32::ApiPath(folder).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// NTFS logs the new entry; the write-through move of the first file put in
// the folder flushes the log up to it.
bool CreateDirectory(const fs::path& folder, IoError& error) {
    if (::CreateDirectoryW(win32::ApiPath(folder).c_str(), nullptr)) {
        return true;
    }
    const DWORD err = ::GetLastError();
    error =
        IoError{err == ERROR_ALREADY_EXISTS ? IoError::Kind::TargetExists : IoError::Kind::Other,
                folder, win32::ErrorText(err)};
    return false;
}

// A folder cannot be locked like a file, so a named mutex stands for it: its
// name comes from the folder's path, compared without case as Windows does.
FolderLock::FolderLock(const fs::path& folder) : handle_(0) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const wchar_t c : Upper(Utf8Of(folder.lexically_normal()))) {
        hash = (hash ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\Tsumugiya-folder-%016llx",
                  static_cast<unsigned long long>(hash));
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
    // WAIT_ABANDONED: the last holder ended without letting go; it is ours now.
    if (mutex && ::WaitForSingleObject(mutex, INFINITE) == WAIT_FAILED) {
        ::CloseHandle(mutex);
        mutex = nullptr;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

FolderLock::~FolderLock() {
    if (HANDLE mutex = reinterpret_cast<HANDLE>(handle_)) {
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
    }
}

bool FolderLock::Held() const {
    return handle_ != 0;
}

}  // namespace tsumugiya::platform
