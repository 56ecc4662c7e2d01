#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tsumugiya {

// Local date-time text of a file time (seconds since 1970-01-01 UTC), as it
// appears in backup names: "2023年03月06日04時01分08秒". A time the local
// calendar cannot show gives "0000年00月00日-1時-1分-1秒".
std::string FormatFileTime(std::int64_t time);

// True for text of exactly the form FormatFileTime gives a time it can show.
bool IsFileTimeText(std::string_view text);

}  // namespace tsumugiya
