#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace tsumugiya {

// How a command talks to the user while it runs and when it is over: the
// questions it asks, what it tells, its progress. A window shows boxes and
// its title, the command line a terminal; a trigger without a user in front
// of it (a hotkey in a game) answers by a fixed policy.
class CommandVoice {
  public:
    virtual ~CommandVoice() = default;

    // A modal question; true when the user chose OK.
    virtual bool AskOkCancel(std::string_view text) = 0;
    // A question asked whatever the user agreed to beforehand (the confirm
    // box, --yes): what it warns of must be seen. True when the user chose OK.
    virtual bool WarnOkCancel(std::string_view text) = 0;
    // A modal message that waits until it is closed.
    virtual void Tell(std::string_view text) = 0;
    // A passing success note (the window title, for two seconds).
    virtual void SetStatus(std::string_view text) = 0;
    // How far a long copy has got, as text to show as it is and in bytes;
    // only for a copy still running after a moment. Shown at once, with the
    // window kept painted and no other command started meanwhile. An empty
    // text ends it, whether the copy was done or not.
    virtual void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) = 0;
    // The save file cannot be opened: name the file and the cause.
    virtual void ReportFileError(const platform::IoError& error) = 0;
};

// What the buttons' commands need from the window besides its voice: the
// memo, the confirm box, the list's selection, and the list itself.
class CommandHost : public CommandVoice {
  public:
    virtual std::string MemoText() const = 0;
    virtual bool IsConfirmOnRestore() const = 0;
    virtual int SelectionCount() const = 0;
    // Full paths of the first max selected backups, in list order.
    virtual std::vector<std::filesystem::path> SelectedPaths(int max) const = 0;
    // Rebuilds the backup list from the folder.
    virtual void ShowCatalogue() = 0;
    // The same, keeping this entry selected instead of the newest checkpoint.
    virtual void ShowCatalogueSelecting(const std::string& name) = 0;
};

// A voice that never opens a box, for triggers that fire while the player is
// in a game: questions are answered by a fixed policy, and what happened is
// read from the outcome. The warning about another save's backup is always
// answered no: nothing is put back unseen.
class QuietVoice : public CommandVoice {
  public:
    explicit QuietVoice(bool agree) : agree_(agree) {}
    bool AskOkCancel(std::string_view) override { return agree_; }
    bool WarnOkCancel(std::string_view) override { return false; }
    void Tell(std::string_view) override {}
    void SetStatus(std::string_view) override {}
    void ShowProgress(std::string_view, std::uint64_t, std::uint64_t) override {}
    void ReportFileError(const platform::IoError&) override {}

  private:
    const bool agree_;
};

}  // namespace tsumugiya
