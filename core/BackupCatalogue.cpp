#include "BackupCatalogue.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "BackupNames.h"
#include "FileFinder.h"

namespace tsumugiya {
namespace {

struct Entry {
    std::int64_t time;  // lowest value when unreadable, so it sorts last
    std::string name;
};

}  // namespace

void BackupCatalogue::Refresh(BackupList& list, std::string_view selected) const {
    list.Clear();
    const auto& folder = locations_.BackupFolder();
    if (folder.empty()) {
        return;
    }
    std::vector<Entry> entries;
    CFileFinder finder(folder);
    std::string name;
    FindRecord record;
    // The finder puts "*." before an extension pattern; "save.*" makes that
    // the listing pattern itself.
    constexpr std::string_view kListedExtension = kBackupListingPattern.substr(2);
    for (bool found = finder.FindFirst(name, record, kListedExtension); found;
         found = finder.FindNext(name, record)) {
        entries.push_back(
            {record.modificationTime.value_or(std::numeric_limits<std::int64_t>::min()), name});
    }
    finder.Close();
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.time != b.time ? a.time > b.time : a.name < b.name;
    });
    int chosen = 0;
    for (const Entry& entry : entries) {
        if (!selected.empty() && entry.name == selected) {
            chosen = list.Count();
        }
        list.Append(entry.name);
    }
    if (list.Count() > 0) {
        list.Select(chosen);
    }
}

bool BackupCatalogue::MatchesListing(std::string_view name) {
    return platform::MatchesWildcard(kBackupListingPattern, name);
}

bool BackupCatalogue::Lists(const std::string& name) const {
    return !locations_.BackupFolder().empty() && IsEntryName(name) && MatchesListing(name) &&
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
        if (IsEntryName(text) && !locations_.BackupFolder().empty()) {
            paths.push_back(locations_.BackupFolder() / platform::PathFromUtf8(text));
        }
    }
    return paths;
}

}  // namespace tsumugiya
