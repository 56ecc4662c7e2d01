#include "FileTime.h"

#include <cstdio>
#include <utility>

#include "platform/Platform.h"

namespace tsumugiya {

std::string FormatFileTime(std::int64_t time) {
    platform::CalendarTime t{0, 0, 0, -1, -1, -1};
    if (auto local = platform::LocalTime(time)) {
        t = *local;
    }
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
