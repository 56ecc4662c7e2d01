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
    // Backups of one state (the same second, other memos) in the order they
    // were made, the last one first. Only entries that tie need that order.
    const auto tied = [&entries](std::size_t i) {
        return (i > 0 && SortTime(entries[i - 1]) == SortTime(entries[i])) ||
               (i + 1 < entries.size() && SortTime(entries[i + 1]) == SortTime(entries[i]));
    };
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return SortTime(a) > SortTime(b); });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].status.made && tied(i)) {
            const auto identity =
                platform::IdentityOf(folder / platform::PathFromUtf8(entries[i].name));
            entries[i].status.made = identity ? identity->changed : platform::FileTimeStamp{};
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        const std::int64_t ta = SortTime(a), tb = SortTime(b);
        if (ta != tb) {
            return ta > tb;
        }
        const auto ma = a.status.made.value_or(platform::FileTimeStamp{});
        const auto mb = b.status.made.value_or(platform::FileTimeStamp{});
        return ma != mb ? ma > mb : a.name < b.name;
    });
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
