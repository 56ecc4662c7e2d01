#pragma once

// Helpers shared by the Windows primitives: UTF-8/UTF-16 at the API
// boundary, long-path names and error texts.

#include <windows.h>
// Platform.h names a function so.
#undef CreateDirectory

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tsumugiya::platform::win32 {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The name a Win32 call should get for a path: absolute, with "\" only, and
// with the \\?\ prefix that lifts the 260-character limit.
std::wstring ApiPath(const std::filesystem::path& path);

// Why a Win32 call failed, as the user reads it, in UTF-8: the system's
// Japanese message where one is installed, else the program's own for the
// common causes (see Causes.h), else the system's message as it is.
std::string ErrorText(DWORD error);

// A FILETIME (100 ns ticks since 1601) as a time since 1970-01-01 UTC.
FileTimeStamp UnixTime(const FILETIME& time);

// Local calendar time in the given zone, or the system's own when null,
// following the zone's summer-time rules for that date.
std::optional<CalendarTime> LocalTimeIn(std::int64_t seconds, const TIME_ZONE_INFORMATION* zone);

}  // namespace tsumugiya::platform::win32
