#include "CopyProgressReport.h"

#include "Messages.h"
#include "TextColumns.h"

namespace tsumugiya {

CopyProgressReport::CopyProgressReport(CommandVoice& voice, const ProgressPacing& pacing,
                                       std::string target)
    : voice_(voice), pacing_(pacing), target_(std::move(target)), started_(pacing.now()) {
    progress_.chunkBytes = pacing.chunkBytes;
    progress_.advanced = [this](std::uint64_t done, std::uint64_t total) { Advanced(done, total); };
}

CopyProgressReport::~CopyProgressReport() {
    if (showing_) {
        voice_.ShowProgress({}, 0, 0);
    }
}

void CopyProgressReport::Advanced(std::uint64_t done, std::uint64_t total) {
    const auto now = pacing_.now();
    const bool waiting =
        showing_ ? done < total && now - shown_ < pacing_.interval : now - started_ < pacing_.delay;
    if (waiting) {
        return;
    }
    voice_.ShowProgress(messages::CopyProgress(target_, done, total), done, total);
    showing_ = true;
    shown_ = now;
}

// A line as wide as the terminal would wrap, on some terminals at once,
// and every rewrite would then start a new line: the last column stays free.
std::string FitProgressLine(std::string_view text, std::uint64_t done, std::uint64_t total,
                            std::size_t terminalColumns) {
    if (terminalColumns == 0) {
        return std::string(text);
    }
    const std::string figures = messages::CopyProgressFigures(done, total);
    const std::string_view name =
        text.ends_with(figures) ? text.substr(0, text.size() - figures.size()) : text;
    return FitToColumns(name, text.substr(name.size()), terminalColumns - 1);
}

}  // namespace tsumugiya
