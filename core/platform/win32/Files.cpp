// Windows file primitives: handles without delete sharing mark live
// temporary files, MoveFileExW puts copies in place.

#include <algorithm>
#include <vector>

#include "platform/Platform.h"
#include "platform/Primitives.h"
#include "platform/win32/Win32.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Native(const sys::File& file) {
    return reinterpret_cast<HANDLE>(file.get());
}

sys::File Own(HANDLE handle) {
    return sys::File(reinterpret_cast<sys::File::Native>(handle));
}

bool Fail(IoError& error, IoError::Kind kind, const fs::path& file, DWORD err) {
    error = IoError{kind, file, win32::ErrorText(err)};
    return false;
}

bool IsMissing(DWORD err) {
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

sys::File Open(const fs::path& file, DWORD access, DWORD share, DWORD disposition,
               DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return Own(::CreateFileW(win32::ApiPath(file).c_str(), access, share, nullptr, disposition,
                             flags, nullptr));
}

bool StateOfHandle(HANDLE handle, FileIdentity& state, DWORD* attributes = nullptr) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(handle, &info) ||
        !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        return false;
    }
    const auto join = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    const FILETIME changed{basic.ChangeTime.LowPart, static_cast<DWORD>(basic.ChangeTime.HighPart)};
    state = FileIdentity{info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
                         join(info.nFileSizeHigh, info.nFileSizeLow),
                         win32::UnixTime(info.ftLastWriteTime), win32::UnixTime(changed)};
    if (attributes) {
        *attributes = info.dwFileAttributes;
    }
    return true;
}

bool SetReadOnly(HANDLE handle, bool readOnly) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        return false;
    }
    DWORD attributes = basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
    attributes |= readOnly ? FILE_ATTRIBUTE_READONLY : 0;
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    // Zero times leave the times as they are.
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
    basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
    return ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
}

DWORD AttributesOf(const fs::path& file) {
    return ::GetFileAttributesW(win32::ApiPath(file).c_str());
}

bool IsReadOnlyFile(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Unlike unlink, DeleteFileW and MoveFileExW refuse a read-only file; the
// folder's rights, not the file's attribute, decide here as on POSIX.
template <typename Operation>
bool IgnoringReadOnly(const fs::path& file, Operation operation) {
    if (operation()) {
        return true;
    }
    const DWORD err = ::GetLastError();
    const DWORD attributes = AttributesOf(file);
    if (err != ERROR_ACCESS_DENIED || !IsReadOnlyFile(attributes)) {
        ::SetLastError(err);
        return false;
    }
    const std::wstring name = win32::ApiPath(file);
    if (!::SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(err);
        return false;
    }
    if (operation()) {
        return true;
    }
    const DWORD again = ::GetLastError();
    ::SetFileAttributesW(name.c_str(), attributes);
    ::SetLastError(again);
    return false;
}

bool Move(const fs::path& from, const fs::path& to, DWORD flags) {
    const std::wstring source = win32::ApiPath(from);
    const std::wstring target = win32::ApiPath(to);
    const auto move = [&] { return ::MoveFileExW(source.c_str(), target.c_str(), flags) != 0; };
    return (flags & MOVEFILE_REPLACE_EXISTING) ? IgnoringReadOnly(to, move) : move();
}

bool IsFull(DWORD err) {
    return err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL;
}

bool WriteAll(HANDLE out, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        if (!::WriteFile(out, data, chunk, &written, nullptr)) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

namespace sys {

// Writers and renames by the game stay possible while the save is read: the
// state check after the copy catches them.
File OpenForReading(const fs::path& file, FileIdentity& state, IoError& error) {
    File in = Open(file, GENERIC_READ, kShareAll, OPEN_EXISTING,
                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS);
    if (!in) {
        const DWORD err = ::GetLastError();
        Fail(error, IsMissing(err) ? IoError::Kind::SourceMissing : IoError::Kind::Other, file,
             err);
        return in;
    }
    DWORD attributes = 0;
    if (::GetFileType(Native(in)) != FILE_TYPE_DISK ||
        !StateOfHandle(Native(in), state, &attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Fail(error, IoError::Kind::Other, file,
             (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_ACCESS_DENIED : ERROR_BAD_FILE_TYPE);
        in.reset();
    }
    return in;
}

void Close(std::intptr_t native) {
    ::CloseHandle(reinterpret_cast<HANDLE>(native));
}

bool StateOf(const File& file, FileIdentity& state) {
    return StateOfHandle(Native(file), state);
}

// No FILE_SHARE_DELETE: while this handle is open nobody can delete the
// file, which is what tells RemoveIfStale that it is live.
File CreateExclusive(const fs::path& file, bool& nameTaken, IoError& error) {
    File out = Open(file, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, CREATE_NEW);
    if (!out) {
        const DWORD err = ::GetLastError();
        nameTaken = err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS;
        fs::path folder = file.parent_path();
        Fail(error, IoError::Kind::Other, folder.empty() ? fs::path(".") : folder, err);
    }
    return out;
}

// A buffer of at most 1 MiB; progress is told once a chunk is full, and at the end.
bool CopyBytes(const File& in, const File& out, std::uint64_t total, const CopyProgress* progress,
               std::uint64_t& copied, const fs::path& from, const fs::path& to, IoError& error) {
    const std::uint64_t chunk =
        progress && progress->chunkBytes ? progress->chunkBytes : CopyProgress::kChunkBytes;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(chunk, 1 << 20)));
    std::uint64_t told = 0;
    copied = 0;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(Native(in), buffer.data(), static_cast<DWORD>(buffer.size()), &got,
                        nullptr)) {
            return Fail(error, IoError::Kind::Other, from, ::GetLastError());
        }
        if (got > 0 && !WriteAll(Native(out), buffer.data(), got)) {
            const DWORD err = ::GetLastError();
            return Fail(error, IoError::Kind::Other, IsFull(err) ? to : from, err);
        }
        copied += got;
        if (progress && progress->advanced && copied != told &&
            (got == 0 || copied - told >= chunk)) {
            progress->advanced(copied, total);
            told = copied;
        }
        if (got == 0) {
            return true;
        }
    }
}

bool WriteBytes(const File& out, std::string_view bytes, const fs::path& file, IoError& error) {
    return WriteAll(Native(out), bytes.data(), bytes.size()) ||
           Fail(error, IoError::Kind::Other, file, ::GetLastError());
}

std::int64_t ReadSome(const File& in, char* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    return ::ReadFile(Native(in), buffer, chunk, &got, nullptr) ? got : -1;
}

bool Flush(const File& file, const fs::path& path, IoError& error) {
    return ::FlushFileBuffers(Native(file)) ||
           Fail(error, IoError::Kind::Other, path, ::GetLastError());
}

// FlushFileBuffers needs write access; a read-only save gets a copy instead.
// A second name shares the file's sharing: while another program holds it
// without delete sharing, a link could be made but neither renamed nor
// removed again, so DELETE access is asked for too and a copy made instead.
bool FlushStored(const fs::path& file) {
    const File handle = Open(file, GENERIC_WRITE | DELETE, kShareAll, OPEN_EXISTING);
    return handle && ::FlushFileBuffers(Native(handle));
}

// Windows keeps no permission bits on a file; the read-only attribute is
// what a copy carries over.
bool ApplyAttributes(const File* source, const File& copy, const fs::path& copyPath,
                     const fs::path& target, Attributes attributes, IoError& error) {
    DWORD wanted = 0;
    FileIdentity ignored;
    if (source && !StateOfHandle(Native(*source), ignored, &wanted)) {
        return Fail(error, IoError::Kind::Other, copyPath, ::GetLastError());
    }
    const DWORD replaced = AttributesOf(target);
    if (attributes == Attributes::OfTarget && replaced != INVALID_FILE_ATTRIBUTES &&
        !(replaced & FILE_ATTRIBUTE_DIRECTORY)) {
        wanted = replaced;
    }
    if (source) {
        FILETIME written{};
        if (!::GetFileTime(Native(*source), nullptr, nullptr, &written) ||
            !::SetFileTime(Native(copy), nullptr, nullptr, &written)) {
            return Fail(error, IoError::Kind::Other, copyPath, ::GetLastError());
        }
    }
    if ((wanted & FILE_ATTRIBUTE_READONLY) && !SetReadOnly(Native(copy), true)) {
        return Fail(error, IoError::Kind::Other, copyPath, ::GetLastError());
    }
    return true;
}

// MoveFileExW needs the file closed: the handle denies delete sharing.
bool CommitTemp(File& temp, const fs::path& tempPath, const fs::path& target, Overwrite overwrite,
                IoError& error) {
    temp.reset();
    const DWORD flags =
        MOVEFILE_WRITE_THROUGH | (overwrite == Overwrite::Allow ? MOVEFILE_REPLACE_EXISTING : 0);
    if (Move(tempPath, target, flags)) {
        return true;
    }
    const DWORD err = ::GetLastError();
    const bool taken = err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS;
    return Fail(error,
                taken && overwrite == Overwrite::Refuse ? IoError::Kind::TargetExists
                                                        : IoError::Kind::Other,
                target, err);
}

bool RenameReplacing(const fs::path& from, const fs::path& to, IoError& error) {
    return Move(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           Fail(error, IoError::Kind::Other, to, ::GetLastError());
}

bool HardLink(const fs::path& existing, const fs::path& link, bool& nameTaken) {
    if (::CreateHardLinkW(win32::ApiPath(link).c_str(), win32::ApiPath(existing).c_str(),
                          nullptr)) {
        return true;
    }
    const DWORD err = ::GetLastError();
    nameTaken = err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS;
    return false;
}

// A live copy's handle denies delete sharing, so opening for deletion fails
// with a sharing violation; one left by a crash opens, and goes on close.
void RemoveIfStale(const fs::path& file) {
    // Without delete sharing: a commit renaming the file meanwhile then fails
    // and says so, instead of its result being deleted under its new name.
    const File handle =
        Open(file, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
             FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!handle) {
        return;
    }
    SetReadOnly(Native(handle), false);
    FILE_DISPOSITION_INFO dispose{TRUE};
    ::SetFileInformationByHandle(Native(handle), FileDispositionInfo, &dispose, sizeof dispose);
}

fs::path ResolveLink(const fs::path& file) {
    // Creating a symbolic link takes rights a player seldom has; a path is
    // written as it is given.
    return file;
}

}  // namespace sys

bool EntryExists(const fs::path& entry) {
    if (AttributesOf(entry) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    return !IsMissing(::GetLastError());
}

std::optional<FileIdentity> IdentityOf(const fs::path& file) {
    const sys::File handle =
        Open(file, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    FileIdentity state;
    if (!handle || !StateOfHandle(Native(handle), state)) {
        return std::nullopt;
    }
    return state;
}

bool RemoveEntry(const fs::path& entry, IoError& error) {
    const std::wstring name = win32::ApiPath(entry);
    if (IgnoringReadOnly(entry, [&] { return ::DeleteFileW(name.c_str()) != 0; })) {
        return true;
    }
    const DWORD err = ::GetLastError();
    return IsMissing(err) || Fail(error, IoError::Kind::Other, entry, err);
}

}  // namespace tsumugiya::platform
