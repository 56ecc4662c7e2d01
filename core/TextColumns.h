#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tsumugiya {

// How many terminal columns UTF-8 text takes: East Asian wide and fullwidth
// characters two, combining marks and controls none, everything else one
// (a byte that is not UTF-8 too).
std::size_t ColumnsOf(std::string_view text);

// head + tail in at most columns, head shortened in its middle with "…" so
// that both its start and its end stay readable; tail is kept whole even
// when it alone is wider.
std::string FitToColumns(std::string_view head, std::string_view tail, std::size_t columns);

}  // namespace tsumugiya
