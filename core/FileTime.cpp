#include "FileTime.h"

#include <cstdio>

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

}  // namespace tsumugiya
