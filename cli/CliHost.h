#pragma once

#include <iosfwd>
#include <string>

#include "AppLocations.h"
#include "BackupCatalogue.h"
#include "BackupList.h"
#include "CommandHost.h"

namespace tsumugiya::cli {

// The commands' window, on a terminal: messages go to stderr, successes to
// stdout, questions are asked on the terminal (or answered by --yes).
class CliHost : public CommandHost {
  public:
    CliHost(const AppLocations& locations, std::ostream& out, std::ostream& err);

    void SetMemo(std::string memo) { memo_ = std::move(memo); }
    void SetAssumeYes(bool yes) { assumeYes_ = yes; }
    // True when a question would be asked on a terminal rather than refused.
    bool CanAsk() const;
    // Where a long copy's progress line goes; nowhere when null.
    void SetProgressStream(std::ostream* progress) { progress_ = progress; }

    // The list as the catalogue orders it, with the newest selected; read
    // from the folder only when asked for.
    MemoryBackupList& List();
    // Makes the list exactly these entries, all selected, without reading the
    // whole folder; false (list unchanged) if one of them is not a backup.
    bool SelectNames(const std::vector<std::string>& names, std::string& missing);

    std::string MemoText() const override { return memo_; }
    bool IsConfirmOnRestore() const override { return true; }
    int SelectionCount() const override { return list_.SelectedCount(); }
    std::vector<std::filesystem::path> SelectedNames(int max) const override;
    bool AskOkCancel(std::string_view text) override;
    bool WarnOkCancel(std::string_view text) override;
    void Tell(std::string_view text) override;
    void SetStatus(std::string_view text) override;
    void ShowCatalogue() override;
    void ShowCatalogueSelecting(const std::string& name) override;
    void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) override;
    void ReportFileError(const platform::IoError& error) override;

  private:
    BackupCatalogue catalogue_;
    MemoryBackupList list_;
    std::ostream& out_;
    std::ostream& err_;
    std::ostream* progress_ = nullptr;
    std::string memo_;
    bool assumeYes_ = false;
    bool stale_ = true;
    std::size_t previousColumns_ = 0;  // of the progress line shown last
};

}  // namespace tsumugiya::cli
