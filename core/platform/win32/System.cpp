// Windows process, text and clock services.

#include <algorithm>
#include <cwctype>
#include <limits>
#include <system_error>
#include <vector>

#include "platform/Causes.h"
#include "platform/Platform.h"
#include "platform/win32/Win32.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {

namespace win32 {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), length);
    return text;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

std::wstring ApiPath(const fs::path& path) {
    std::wstring name = path.wstring();
    for (wchar_t& c : name) {
        c = c == L'/' ? L'\\' : c;
    }
    if (name.empty() || name.starts_with(LR"(\\?\)")) {
        return name;
    }
    // The prefix turns off all parsing, so "..", "." and relative names are
    // resolved first.
    const DWORD size = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return name;
    }
    full.resize(length);
    if (full.starts_with(LR"(\\.\)")) {
        return full;  // a device stays as it is
    }
    if (full.starts_with(LR"(\\)")) {
        return LR"(\\?\UNC\)" + full.substr(2);
    }
    return LR"(\\?\)" + full;
}

namespace {

// The system's message in one language (0: the user's own); absent when the
// system has none in that language.
std::optional<std::string> SystemText(DWORD error, DWORD language) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    ::LocalFree(text);
    while (!message.empty() && std::iswspace(message.back())) {
        message.pop_back();
    }
    return message.empty() ? std::nullopt : std::optional<std::string>(Narrow(message));
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<CommonCause> CommonCauseOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return CommonCause::NoSuchFile;
        case ERROR_ACCESS_DENIED:
            return CommonCause::AccessDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return CommonCause::DiskFull;
        case ERROR_WRITE_PROTECT:
            return CommonCause::ReadOnlyMedium;
        case ERROR_FILENAME_EXCED_RANGE:
            return CommonCause::NameTooLong;
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
            return CommonCause::DeviceError;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return CommonCause::FileInUse;
        case ERROR_DIRECTORY:
            return CommonCause::NotAFolder;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return CommonCause::NameInUse;
        default:
            return std::nullopt;
    }
}

}  // namespace

// A Windows without the Japanese language pack has no Japanese messages, and
// one that answers for Japanese with English text counts as none.
std::string ErrorText(DWORD error) {
    const auto japanese = SystemText(error, MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN));
    if (japanese && !IsAscii(*japanese)) {
        return *japanese;
    }
    if (const auto cause = CommonCauseOf(error)) {
        return std::string(JapaneseText(*cause));
    }
    return SystemText(error, 0).value_or("Windows のエラー " + std::to_string(error));
}

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsTo1970 = 11'644'473'600;  // from 1601-01-01
// A FILETIME is valid below 2^63 ticks (the year 30828).
constexpr std::int64_t kLastSecond =
    std::numeric_limits<std::int64_t>::max() / kTicksPerSecond - kSecondsTo1970;

}  // namespace

// Ticks are counted from 1601 and never negative in a valid FILETIME, so the
// division rounds down.
FileTimeStamp UnixTime(const FILETIME& time) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    const auto whole = static_cast<std::int64_t>(ticks / kTicksPerSecond);
    const auto rest = static_cast<std::int32_t>(ticks % kTicksPerSecond);
    return FileTimeStamp{whole - kSecondsTo1970, rest * 100};
}

std::optional<CalendarTime> LocalTimeIn(std::int64_t seconds, const TIME_ZONE_INFORMATION* zone) {
    if (seconds < -kSecondsTo1970 || seconds > kLastSecond) {
        return std::nullopt;
    }
    const auto ticks = static_cast<std::uint64_t>((seconds + kSecondsTo1970) * kTicksPerSecond);
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    // FileTimeToLocalFileTime would apply today's summer-time offset to every date.
    if (!::FileTimeToSystemTime(&time, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(zone, &utc, &local)) {
        return std::nullopt;
    }
    return CalendarTime{local.wYear, local.wMonth,  local.wDay,
                        local.wHour, local.wMinute, local.wSecond};
}

}  // namespace win32

// The C runtime has no Japanese texts: only the common causes get them.
std::string ErrnoCause(int err) {
    if (const auto cause = CommonCauseOfErrno(err)) {
        return std::string(JapaneseText(*cause));
    }
    return std::generic_category().message(err);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

namespace {

// The system parses nothing after this prefix: no "/", ".." or relative name.
constexpr std::string_view kLiteralPrefix = R"(\\?\)";
constexpr std::string_view kLiteralSharePrefix = R"(\\?\UNC\)";

bool IsDrivePath(std::string_view path) {
    return path.size() >= 3 &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':' && IsSeparator(path[2]);
}

// "\\server\share" and below; "\\." and "\\?" are the device namespaces.
bool IsSharePath(std::string_view path) {
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1])) {
        return false;
    }
    const auto end = std::find_if(path.begin() + 2, path.end(), IsSeparator);
    const std::string_view server(path.begin() + 2, end);
    return !server.empty() && server != "." && server != "?" && end != path.end() &&
           end + 1 != path.end() && !IsSeparator(end[1]);
}

// "\\?\C:\x" is "C:\x" and "\\?\UNC\server\share" is "\\server\share"; any other
// path stays as it is.
std::string WithoutLiteralPrefix(std::string_view path) {
    if (path.starts_with(kLiteralSharePrefix)) {
        return R"(\\)" + std::string(path.substr(kLiteralSharePrefix.size()));
    }
    if (path.starts_with(kLiteralPrefix) && IsDrivePath(path.substr(kLiteralPrefix.size()))) {
        return std::string(path.substr(kLiteralPrefix.size()));
    }
    return std::string(path);
}

}  // namespace

bool IsAbsolutePath(std::string_view path) {
    const std::string plain = WithoutLiteralPrefix(path);
    return IsDrivePath(plain) || IsSharePath(plain);
}

bool IsDevicePath(std::string_view path) {
    return path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
           (path[2] == '.' || path[2] == '?') && IsSeparator(path[3]) && !IsAbsolutePath(path);
}

// Not std::filesystem::absolute: it takes "\\server\share" for a path on the
// current drive, "\\?\" and all.
std::optional<std::string> AbsolutePath(std::string_view path) {
    const std::string plain = WithoutLiteralPrefix(path);
    if (plain.empty()) {
        return std::nullopt;
    }
    if (IsDevicePath(plain)) {
        return plain;
    }
    const std::wstring name = win32::Wide(plain);
    const DWORD size = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    if (size == 0 || length == 0 || length >= size) {
        return std::nullopt;
    }
    full.resize(length);
    return win32::Narrow(full);
}

bool IsOneComponent(std::string_view name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || kNameForbiddenCharacters.find(c) != name.npos) {
            return false;
        }
    }
    // The device names stay devices in every folder and with any extension.
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    for (char& c : stem) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$") {
        return false;
    }
    // COM1..COM9 and LPT1..LPT9, also with the superscript digits ¹²³.
    if (stem.size() >= 4 && (stem.starts_with("COM") || stem.starts_with("LPT"))) {
        const std::string_view digit = std::string_view(stem).substr(3);
        return !(digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') && digit != "\u00B9" &&
               digit != "\u00B2" && digit != "\u00B3";
    }
    return true;
}

fs::path ExecutablePath() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            return fs::path(name);
        }
        name.resize(name.size() * 2);  // cut short: grow until it fits
    }
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const std::wstring key = win32::Wide(name);
    const DWORD size = ::GetEnvironmentVariableW(key.c_str(), nullptr, 0);
    if (size == 0) {
        return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                          : std::optional<std::string>("");
    }
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(key.c_str(), value.data(), size);
    value.resize(length < size ? length : 0);
    return win32::Narrow(value);
}

fs::path HomeFolder() {
    const auto profile = EnvironmentValue("USERPROFILE");
    return profile && !profile->empty() ? PathFromUtf8(*profile) : fs::path();
}

// Rights on a folder are an ACL, read-only media refuse the create: trying
// is the only answer that holds.
bool CanWriteIn(const fs::path& folder) {
    const std::wstring probe =
        win32::ApiPath(folder / (".tsumugiya-probe-" + std::to_string(::GetCurrentProcessId())));
    const HANDLE file =
        ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

bool SameEntry(const fs::path& a, const fs::path& b) {
    const auto one = IdentityOf(a);
    const auto two = IdentityOf(b);
    return one && two && one->device == two->device && one->inode == two->inode;
}

std::optional<CalendarTime> LocalTime(std::int64_t seconds) {
    return win32::LocalTimeIn(seconds, nullptr);
}

}  // namespace tsumugiya::platform
