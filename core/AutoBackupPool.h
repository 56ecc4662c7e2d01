#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace tsumugiya {

// The automatic backups the program itself committed, and nothing else: a
// ledger of their names and identities, oldest first, kept in the backup
// folder under a name the catalogue never lists. Only a file that is still
// the very one recorded (same file id, size, modification and change time)
// is ever pruned, so a backup the player made, under any name, is never
// touched; one the player changed or replaced leaves the pool.
class AutoBackupPool {
  public:
    struct Entry {
        std::string name;
        platform::FileIdentity identity;
    };
    struct Pruned {
        std::vector<std::string> removed;
        std::vector<platform::IoError> failures;  // entries that stayed, with the cause
    };

    static constexpr std::string_view kLedgerName = ".tsumugiya-automatic-backups";

    explicit AutoBackupPool(std::filesystem::path backupFolder)
        : folder_(std::move(backupFolder)) {}

    // The ledger's entries that still name the file recorded.
    std::vector<Entry> Entries() const;
    // The newest entry that is a backup of this save; empty when none.
    std::string Newest(std::string_view saveFileName) const;

    // Records a committed backup, then prunes this save's oldest entries
    // beyond keep. The ledger is on disk without them before any is removed:
    // a cut in between leaves a file the pool forgets, never one removed that
    // the ledger still counts on.
    bool Add(const std::string& name, std::string_view saveFileName, int keep, Pruned& pruned,
             platform::IoError& error) const;

  private:
    std::filesystem::path Path(std::string_view name) const {
        return folder_ / platform::PathFromUtf8(name);
    }
    bool Matches(const Entry& entry) const;
    // Every entry recorded; absent (with the cause) when a ledger is there
    // but cannot be read, or is of another form: rewriting it would forget
    // what it names.
    std::optional<std::vector<Entry>> Read(platform::IoError& error) const;
    bool Write(const std::vector<Entry>& entries, platform::IoError& error) const;

    std::filesystem::path folder_;
};

}  // namespace tsumugiya
