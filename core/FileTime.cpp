#include "FileTime.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "platform/Platform.h"

namespace tsumugiya {
namespace {

constexpr platform::CalendarTime kFirstShown{0, 1, 1, 0, 0, 0};
constexpr platform::CalendarTime kLastShown{9999, 12, 31, 23, 59, 59};
// A time more than a day past either end in UTC is past it in every zone:
// it is never converted, which keeps the calendar below in its range.
constexpr std::int64_t kFirstSecond = -62'167'219'200 - 86'400;  // 0000-01-01 UTC
constexpr std::int64_t kLastSecond = 253'402'300'799 + 86'400;   // 9999-12-31 23:59:59 UTC

platform::CalendarTime UtcTime(std::int64_t time) {
    using namespace std::chrono;
    const sys_seconds at{seconds(time)};
    const sys_days day = floor<days>(at);
    const year_month_day date(day);
    const hh_mm_ss clock(at - day);
    return platform::CalendarTime{static_cast<int>(date.year()),
                                  static_cast<int>(static_cast<unsigned>(date.month())),
                                  static_cast<int>(static_cast<unsigned>(date.day())),
                                  static_cast<int>(clock.hours().count()),
                                  static_cast<int>(clock.minutes().count()),
                                  static_cast<int>(clock.seconds().count())};
}

platform::CalendarTime ShownTime(std::int64_t time) {
    if (time < kFirstSecond) {
        return kFirstShown;
    }
    if (time > kLastSecond) {
        return kLastShown;
    }
    const auto local = platform::LocalTime(time);
    const platform::CalendarTime t = local ? *local : UtcTime(time);
    return t.year < kFirstShown.year ? kFirstShown : t.year > kLastShown.year ? kLastShown : t;
}

}  // namespace

std::string FormatFileTime(std::int64_t time) {
    const platform::CalendarTime t = ShownTime(time);
    char text[64];
    std::snprintf(text, sizeof text, "%04d年%02d月%02d日%02d時%02d分%02d秒", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

bool IsFileTimeText(std::string_view text) {
    constexpr std::pair<int, std::string_view> kFields[] = {{4, "年"}, {2, "月"}, {2, "日"},
                                                            {2, "時"}, {2, "分"}, {2, "秒"}};
    for (const auto& [digits, unit] : kFields) {
        for (int i = 0; i < digits; ++i) {
            if (text.empty() || text.front() < '0' || text.front() > '9') {
                return false;
            }
            text.remove_prefix(1);
        }
        if (!text.starts_with(unit)) {
            return false;
        }
        text.remove_prefix(unit.size());
    }
    return text.empty();
}

}  // namespace tsumugiya
