#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tsumugiya {

// Local date-time text of a file time (seconds since 1970-01-01 UTC), as it
// appears in backup names: "2023年03月06日04時01分08秒". The year has four
// digits: a time before the year 0 or after 9999 shows as the first or last
// second of that range. A time the system's calendar cannot convert shows in
// UTC. The text is always one that IsFileTimeText takes.
std::string FormatFileTime(std::int64_t time);

// True for text of exactly the form FormatFileTime gives a time it can show.
bool IsFileTimeText(std::string_view text);

}  // namespace tsumugiya
