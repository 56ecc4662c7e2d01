#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "CommandHost.h"
#include "platform/Platform.h"

namespace tsumugiya {

// When a copy's progress is worth showing: not before delay has passed since
// the copy started (most copies are over by then), then at most once per
// interval, and the end always. The clock and the chunk size are open to tests.
struct ProgressPacing {
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    std::chrono::milliseconds delay{500};
    std::chrono::milliseconds interval{100};
    std::uint64_t chunkBytes = platform::CopyProgress::kChunkBytes;
    Clock now = [] { return std::chrono::steady_clock::now(); };
};

// The progress of one copy into the file named target, shown to the host as
// the pacing allows; what it showed is ended when it goes away.
class CopyProgressReport {
  public:
    CopyProgressReport(CommandVoice& voice, const ProgressPacing& pacing, std::string target);
    CopyProgressReport(const CopyProgressReport&) = delete;
    CopyProgressReport& operator=(const CopyProgressReport&) = delete;
    ~CopyProgressReport();

    // What the copy reports to.
    const platform::CopyProgress* Progress() const { return &progress_; }

  private:
    void Advanced(std::uint64_t done, std::uint64_t total);

    CommandVoice& voice_;
    const ProgressPacing& pacing_;
    const std::string target_;
    const std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point shown_;
    bool showing_ = false;
    platform::CopyProgress progress_;
};

// A progress text as a terminal this wide shows it on one line: the name
// shortened, the figures kept whole; as it is when the width is unknown (0).
std::string FitProgressLine(std::string_view text, std::uint64_t done, std::uint64_t total,
                            std::size_t terminalColumns);

}  // namespace tsumugiya
