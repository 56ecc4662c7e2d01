#pragma once

#include <iosfwd>
#include <string>

#include "CommandHost.h"

namespace tsumugiya::cli {

// The commands' voice on a terminal: messages go to stderr, successes to
// stdout, questions are asked on the terminal (or answered by --yes).
class CliHost : public CommandVoice {
  public:
    CliHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void SetAssumeYes(bool yes) { assumeYes_ = yes; }
    // True when a question would be asked on a terminal rather than refused.
    bool CanAsk() const;
    // Where a long copy's progress line goes; nowhere when null.
    void SetProgressStream(std::ostream* progress) { progress_ = progress; }

    bool AskOkCancel(std::string_view text) override;
    bool WarnOkCancel(std::string_view text) override;
    void Tell(std::string_view text) override;
    void SetStatus(std::string_view text) override;
    void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) override;
    void ReportFileError(const platform::IoError& error) override;

  private:
    std::ostream& out_;
    std::ostream& err_;
    std::ostream* progress_ = nullptr;
    bool assumeYes_ = false;
    std::size_t previousColumns_ = 0;  // of the progress line shown last
};

}  // namespace tsumugiya::cli
