// POSIX process and clock services.

#include <time.h>

#include <system_error>

#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {

bool IsSeparator(char c) {
    return c == '/';
}

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

std::optional<CalendarTime> LocalTime(std::int64_t seconds) {
    if (seconds < 0) {
        return std::nullopt;
    }
    // Re-read the zone each time so that a zone change reaches a running program.
    ::tzset();
    const time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    if (::localtime_r(&t, &local) == nullptr) {
        return std::nullopt;
    }
    return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace tsumugiya::platform
