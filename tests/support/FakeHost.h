#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "AppLocations.h"
#include "BackupCatalogue.h"
#include "BackupList.h"
#include "CommandHost.h"

namespace tsumugiya::test {

// A window stand-in: logs everything shown to the user in order ("Tell ...",
// "Status ...", "Ask ...", "Refresh", "FileError <file>"), answers questions
// from a script and keeps the backup list in memory.
class FakeHost : public CommandHost {
  public:
    explicit FakeHost(const AppLocations& locations) : catalogue_(locations) {}

    // The log so far, which then starts afresh.
    std::vector<std::string> TakeLog() { return std::exchange(log_, {}); }
    // Selects exactly the entries with these texts; each must be listed.
    void SelectOnly(const std::vector<std::string>& texts);

    std::string MemoText() const override { return memo; }
    bool IsConfirmOnRestore() const override { return confirm; }
    int SelectionCount() const override { return list.SelectedCount(); }
    std::vector<std::filesystem::path> SelectedNames(int max) const override {
        return catalogue_.SelectedPaths(list, max);
    }
    bool AskOkCancel(std::string_view text) override;
    void Tell(std::string_view text) override { log_.push_back("Tell " + std::string(text)); }
    void SetStatus(std::string_view text) override {
        log_.push_back("Status " + std::string(text));
    }
    void ShowCatalogue() override {
        log_.push_back("Refresh");
        catalogue_.Refresh(list);
    }
    void ReportFileError(const platform::IoError& error) override {
        log_.push_back("FileError " + error.file.string());
        lastFileError = error;
    }

    std::string memo;
    bool confirm = true;
    std::deque<bool> answers;  // one per expected question, in order
    platform::IoError lastFileError;
    MemoryBackupList list;

  private:
    BackupCatalogue catalogue_;
    std::vector<std::string> log_;
};

}  // namespace tsumugiya::test
