#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace tsumugiya {

// What the backup commands need from the window (or any other front-end).
class CommandHost {
  public:
    virtual ~CommandHost() = default;

    virtual std::string MemoText() const = 0;
    virtual bool IsConfirmOnRestore() const = 0;
    virtual int SelectionCount() const = 0;
    // Full paths of the first max selected backups, in list order.
    virtual std::vector<std::filesystem::path> SelectedNames(int max) const = 0;

    // A modal question; true when the user chose OK.
    virtual bool AskOkCancel(std::string_view text) = 0;
    // A question asked whatever the user agreed to beforehand (the confirm
    // box, --yes): what it warns of must be seen. True when the user chose OK.
    virtual bool WarnOkCancel(std::string_view text) = 0;
    // A modal message that waits until it is closed.
    virtual void Tell(std::string_view text) = 0;
    // A passing success note (the window title, for two seconds).
    virtual void SetStatus(std::string_view text) = 0;
    // Rebuilds the backup list from the folder.
    virtual void ShowCatalogue() = 0;
    // The same, keeping this entry selected instead of the newest.
    virtual void ShowCatalogueSelecting(const std::string& name) = 0;
    // How far a long copy has got, as text to show as it is and in bytes;
    // only for a copy still running after a moment. Shown at once, with the
    // window kept painted and no other command started meanwhile. An empty
    // text ends it, whether the copy was done or not.
    virtual void ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) = 0;
    // The save file cannot be opened: name the file and the cause.
    virtual void ReportFileError(const platform::IoError& error) = 0;
};

}  // namespace tsumugiya
