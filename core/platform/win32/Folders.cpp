// Windows folder listing, creation and file-name matching.

#include <cwchar>

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {
namespace {

// Closes a FindFirstFileExW search.
struct Search {
    HANDLE handle;
    ~Search() {
        if (handle != INVALID_HANDLE_VALUE) {
            ::FindClose(handle);
        }
    }
};

std::wstring Upper(std::string_view text) {
    std::wstring wide = win32::Wide(text);
    if (!wide.empty()) {
        ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    }
    return wide;
}

}  // namespace

// The basic records skip the short 8.3 names; a large fetch asks the file
// system for many entries at a time.
std::vector<std::string> ListFolder(const fs::path& folder) {
    std::vector<std::string> names;
    const std::wstring pattern = win32::ApiPath(folder / L"*");
    WIN32_FIND_DATAW found{};
    const Search search{::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH)};
    if (search.handle == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(win32::Narrow(name));
        }
    } while (::FindNextFileW(search.handle, &found));
    return names;
}

EntryStatus StatusOf(const fs::path& entry) {
    EntryStatus status;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::ApiPath(entry).c_str(), GetFileExInfoStandard, &data)) {
        return status;
    }
    status.isDirectory = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    status.isLink = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if (!status.isDirectory) {
        status.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const std::int64_t ns = win32::UnixNanoseconds(data.ftLastWriteTime);
        status.modificationTime = ns / 1'000'000'000 - (ns % 1'000'000'000 < 0 ? 1 : 0);
    }
    return status;
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

bool CreateDirectory(const fs::path& folder, IoError& error) {
    if (::CreateDirectoryW(win32::ApiPath(folder).c_str(), nullptr)) {
        return true;
    }
    error = IoError{IoError::Kind::Other, folder, win32::ErrorText(::GetLastError())};
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
