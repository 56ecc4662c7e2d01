#include "BackupCatalogue.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "BackupNames.h"

namespace tsumugiya {
namespace {

// An entry without a readable file time sorts last.
std::int64_t SortTime(const platform::FolderEntry& entry) {
    return entry.status.modificationTime.value_or(std::numeric_limits<std::int64_t>::min());
}

// Backups of one state (the same second, other memos) in the order they were
// made, the last one first; only entries that tie need that order, and only
// they have it read where the listing does not carry it.
void OrderByMaking(const std::filesystem::path& folder,
                   std::vector<platform::FolderEntry>::iterator begin,
                   std::vector<platform::FolderEntry>::iterator end) {
    if (end - begin < 2) {
        return;
    }
    for (auto entry = begin; entry != end; ++entry) {
        if (!entry->status.made) {
            const auto identity =
                platform::IdentityOf(folder / platform::PathFromUtf8(entry->name));
            entry->status.made = identity ? identity->changed : platform::FileTimeStamp{};
        }
    }
    std::sort(begin, end, [](const auto& a, const auto& b) {
        return a.status.made != b.status.made ? a.status.made > b.status.made : a.name < b.name;
    });
}

}  // namespace

void BackupCatalogue::Refresh(BackupList& list, std::string_view selected) const {
    const auto& folder = locations_.BackupFolder();
    if (folder.empty()) {
        list.Clear();
        return;
    }
    // One pass over the folder: what a crash left behind goes on the way.
    std::vector<platform::FolderEntry> entries =
        platform::ReadFolder(folder, [&folder](const std::string& name) {
            return !platform::SweepIfTempName(folder, name) && MatchesListing(name);
        });
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return SortTime(a) > SortTime(b); });
    for (auto tie = entries.begin(); tie != entries.end();) {
        const auto end = std::find_if(tie, entries.end(), [&tie](const auto& entry) {
            return SortTime(entry) != SortTime(*tie);
        });
        OrderByMaking(folder, tie, end);
        tie = end;
    }
    std::optional<int> chosen;
    std::optional<int> checkpoint;
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (platform::FolderEntry& entry : entries) {
        if (!selected.empty() && entry.name == selected) {
            chosen = static_cast<int>(names.size());
        }
        if (!checkpoint && IsCheckpointOf(entry.name, locations_.SaveFileName())) {
            checkpoint = static_cast<int>(names.size());
        }
        names.push_back(std::move(entry.name));
    }
    list.Assign(std::move(names));
    if (list.Count() > 0) {
        list.Select(chosen.value_or(checkpoint.value_or(0)));
    }
}

std::optional<std::string> BackupCatalogue::NewestCheckpoint(const BackupList& list) const {
    for (int i = 0; i < list.Count(); ++i) {
        if (std::string name = list.Text(i); IsCheckpointOf(name, locations_.SaveFileName())) {
            return name;
        }
    }
    return std::nullopt;
}

bool BackupCatalogue::MatchesListing(std::string_view name) {
    return platform::MatchesWildcard(kBackupListingPattern, name);
}

bool BackupCatalogue::Lists(const std::string& name) const {
    return !locations_.BackupFolder().empty() && IsNameInFolder(name) && MatchesListing(name) &&
           platform::EntryExists(locations_.BackupFolder() / platform::PathFromUtf8(name));
}

std::vector<std::filesystem::path> BackupCatalogue::SelectedPaths(const BackupList& list,
                                                                  int max) const {
    std::vector<std::filesystem::path> paths;
    if (list.SelectedCount() == 0) {
        return paths;
    }
    for (int index : list.SelectedIndices(std::min(max, list.SelectedCount()))) {
        const std::string text = list.Text(index);
        // A list entry only ever names something inside the backup folder.
        if (IsNameInFolder(text) && !locations_.BackupFolder().empty()) {
            paths.push_back(locations_.BackupFolder() / platform::PathFromUtf8(text));
        }
    }
    return paths;
}

}  // namespace tsumugiya
