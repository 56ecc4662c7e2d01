// Windows folder watch: ReadDirectoryChangesW on the folder, overlapped, its
// completion signalled by one event that lives as long as the watch.

#include <algorithm>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {

namespace {

// A save written in place changes its last-write time; one written beside it
// and renamed over it is a file-name change.
constexpr DWORD kWatched = FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME;
constexpr DWORD kBufferBytes = 64 * 1024;

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION one{}, two{};
    return ::GetFileInformationByHandle(a, &one) && ::GetFileInformationByHandle(b, &two) &&
           one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
           one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

HANDLE OpenFolder(const fs::path& folder, DWORD flags) {
    return ::CreateFileW(win32::ApiPath(folder).c_str(), FILE_LIST_DIRECTORY,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

}  // namespace

struct FolderWatch::Impl {
    fs::path folder;
    HANDLE event = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    std::string problem;
    // DWORD-aligned, as the notifications need.
    std::vector<DWORD> buffer = std::vector<DWORD>(kBufferBytes / sizeof(DWORD));

    bool Start() {
        ::ResetEvent(event);
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event;
        return ::ReadDirectoryChangesW(handle, buffer.data(), kBufferBytes, FALSE, kWatched,
                                       nullptr, &overlapped, nullptr);
    }
    void Stop() {
        if (handle == INVALID_HANDLE_VALUE) {
            return;
        }
        // The buffer must outlive the read the system still holds.
        DWORD ignored = 0;
        if (::CancelIoEx(handle, &overlapped) || ::GetLastError() != ERROR_NOT_FOUND) {
            ::GetOverlappedResult(handle, &overlapped, &ignored, TRUE);
        }
        ::CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        ::ResetEvent(event);
    }
    // The folder's name still leads to the folder watched: one removed and
    // made again is another.
    bool StillThere() const {
        const HANDLE now = OpenFolder(folder, 0);
        const bool same = now != INVALID_HANDLE_VALUE && SameFile(now, handle);
        if (now != INVALID_HANDLE_VALUE) {
            ::CloseHandle(now);
        }
        return same;
    }
    void Names(DWORD bytes, std::vector<std::string>& names) const {
        const auto* base = reinterpret_cast<const char*>(buffer.data());
        for (DWORD at = 0; at < bytes;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + at);
            if (info->Action != FILE_ACTION_REMOVED &&
                info->Action != FILE_ACTION_RENAMED_OLD_NAME) {
                names.push_back(win32::Narrow(
                    std::wstring_view(info->FileName, info->FileNameLength / sizeof(WCHAR))));
            }
            if (info->NextEntryOffset == 0) {
                break;
            }
            at += info->NextEntryOffset;
        }
    }
};

FolderWatch::FolderWatch(fs::path folder) : impl_(std::make_unique<Impl>()) {
    impl_->folder = std::move(folder);
    impl_->event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Arm();
}

FolderWatch::~FolderWatch() {
    impl_->Stop();
    if (impl_->event) {
        ::CloseHandle(impl_->event);
    }
}

bool FolderWatch::Arm() {
    impl_->Stop();
    impl_->problem.clear();
    if (!impl_->event) {
        impl_->problem = win32::ErrorText(ERROR_INVALID_HANDLE);
        return false;
    }
    impl_->handle = OpenFolder(impl_->folder, FILE_FLAG_OVERLAPPED);
    if (impl_->handle == INVALID_HANDLE_VALUE) {
        impl_->problem = win32::ErrorText(::GetLastError());
        return false;
    }
    if (!impl_->Start()) {
        impl_->problem = win32::ErrorText(::GetLastError());
        impl_->Stop();
        return false;
    }
    return true;
}

const std::string& FolderWatch::Problem() const {
    return impl_->problem;
}

bool FolderWatch::Armed() const {
    return impl_->handle != INVALID_HANDLE_VALUE;
}

std::intptr_t FolderWatch::Waitable() const {
    return reinterpret_cast<std::intptr_t>(impl_->event);
}

FolderWatch::Changes FolderWatch::Read() {
    Changes changes;
    if (!Armed()) {
        return changes;
    }
    DWORD bytes = 0;
    if (::GetOverlappedResult(impl_->handle, &impl_->overlapped, &bytes, FALSE)) {
        // No bytes: more changed than the buffer could hold.
        changes.incomplete = bytes == 0;
        impl_->Names(bytes, changes.names);
    } else if (const DWORD err = ::GetLastError(); err == ERROR_IO_INCOMPLETE) {
        return changes;
    } else {
        changes.incomplete = err == ERROR_NOTIFY_ENUM_DIR;
        changes.lost = !changes.incomplete;
    }
    if (changes.lost || (changes.incomplete && !impl_->StillThere()) || !impl_->Start()) {
        impl_->Stop();
        changes.lost = true;
    }
    return changes;
}

bool SameFileName(std::string_view a, std::string_view b) {
    const std::wstring one = win32::Wide(a), two = win32::Wide(b);
    return ::CompareStringOrdinal(one.data(), static_cast<int>(one.size()), two.data(),
                                  static_cast<int>(two.size()), TRUE) == CSTR_EQUAL;
}

std::optional<std::size_t> WaitForAny(const std::vector<std::intptr_t>& waitables,
                                      std::optional<std::chrono::milliseconds> timeout) {
    std::vector<HANDLE> handles;
    for (const std::intptr_t waitable : waitables) {
        handles.push_back(reinterpret_cast<HANDLE>(waitable));
    }
    const DWORD wait =
        timeout ? static_cast<DWORD>(std::clamp<std::int64_t>(timeout->count(), 0, INFINITE - 1))
                : INFINITE;
    const DWORD woke =
        ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, wait);
    if (woke >= WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + handles.size()) {
        return woke - WAIT_OBJECT_0;
    }
    return std::nullopt;
}

}  // namespace tsumugiya::platform
